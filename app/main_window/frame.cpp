// The main window's frame: construction, data exchange, the message map,
// initialisation, the menu, the mode switch, painting, the About item and
// the exit, and the report of a failed device operation.
#include <span>

#include "app/dialogs/about_dlg.h"
#include "app/main_window/main_dlg.h"
#include "core/dialog_texts.h"
#include "core/texts.h"
#include "device/channel_layer.h"
#include "platform/ui/paint.h"

namespace tallow::app {

using namespace tallow::res;
using namespace tallow::ui;

namespace {

constexpr int kImageCount = 4;
constexpr int kImageGrowth = 1;
constexpr int kMaxPageDigits = 4;

// The message table's text for a failed device operation's code.
std::int32_t CommErrorText(int code) {
  if (code >= 333 && code <= 338) return 21004;  // "Unable to download the file."
  if (code == 807) return 807;                   // "Authentication failed. (Error Code: 807)"
  return 21001;                                  // "Unable to connect to the scanner."
}

}  // namespace

CMainDlg::CMainDlg() : CConvertDlg(IDD_MAIN, nullptr), m_progressDlg(kProgressSave, this) {
  m_hIcon = LoadIconW(IDI_APPLICATION_ICON);
  m_hIconPrevPage = LoadIconW(IDI_PREV_PAGE);
  m_hIconNextPage = LoadIconW(IDI_NEXT_PAGE);
  m_hIconRoot = LoadIconW(IDI_ROOT);
  m_hIconBox = LoadIconW(IDI_BOX);
  m_hIconBoxSelected = LoadIconW(IDI_BOX_SELECTED);
  m_hIconDocument = LoadIconW(IDI_DOCUMENT);
  m_sizeSimple = Size{};
  m_sizeAdvanced = Size{};
  // The tree's and the list's pictures, in the order their indexes name them.
  m_imageList.Create(16, 16, ILC_COLOR, kImageCount, kImageGrowth);
  m_imageList.SetBkColor(RGB(255, 255, 255));
  for (HICON icon : {m_hIconRoot, m_hIconBox, m_hIconBoxSelected, m_hIconDocument}) {
    m_imageList.Add(icon);
  }
  // Zeroed, so that no entry is ever read before a listing wrote it.
  m_imageFormats = std::make_unique<std::int32_t[]>(kMaxFormatEntries);
}

CMainDlg::~CMainDlg() {
  // A save worker still running is joined first: it uses the writer, the
  // progress dialog and the document formats until it ends.
  m_convertContext.Reset();
  m_imageFormats.reset();
  DeleteConvertor(m_pConvertor);
  m_progressDlg.DestroyWindow();
  m_imageList.DeleteImageList();
}

void CMainDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Control(dx, IDC_MAIN_PREVIEW_FRAME, m_stcPreview);
  DDX_Control(dx, IDC_MAIN_PAGE_FROM, m_editPageFrom);
  DDX_Control(dx, IDC_MAIN_PAGE_TO, m_editPageTo);
  DDX_Control(dx, IDC_MAIN_PAGE_FROM_SPIN, m_spinPageFrom);
  DDX_Control(dx, IDC_MAIN_PAGE_TO_SPIN, m_spinPageTo);
  DDX_Control(dx, IDC_MAIN_PREV_PAGE, m_btnPrevPage);
  DDX_Control(dx, IDC_MAIN_NEXT_PAGE, m_btnNextPage);
  DDX_Control(dx, IDC_MAIN_PAGE, m_editPage);
  DDX_Control(dx, IDC_MAIN_PAGE_COUNT, m_stcPageCount);
  DDX_Control(dx, IDC_SIMPLE_SAVE, m_btnSimpleSave);
  DDX_Control(dx, IDC_SIMPLE_EXIT, m_btnSimpleExit);
  DDX_Control(dx, IDC_MAIN_PREVIEW, m_chkPreview);
  DDX_Control(dx, IDC_MAIN_DOCUMENT_LIST, m_listDocuments);
  DDX_Control(dx, IDC_MAIN_BOX_TREE, m_treeBoxes);

  DDX_Text(dx, IDC_MAIN_PAGE_FROM, m_strPageFrom);
  DDV_MaxChars(dx, m_strPageFrom, kMaxPageDigits);
  DDX_Text(dx, IDC_MAIN_PAGE_TO, m_strPageTo);
  DDV_MaxChars(dx, m_strPageTo, kMaxPageDigits);
  DDX_Text(dx, IDC_MAIN_PAGE, m_nPage);
  DDX_Text(dx, IDC_MAIN_PAGE_COUNT, m_strPageCount);
  DDX_Text(dx, IDC_SIMPLE_DEVICE_NAME, m_strSimpleDevice);
  DDX_Text(dx, IDC_SIMPLE_BOX_NAME, m_strSimpleBox);
  DDX_Text(dx, IDC_SIMPLE_FILE_NUMBER, m_strSimpleFileNumber);
  DDX_Text(dx, IDC_SIMPLE_DATE_TIME, m_strSimpleDateTime);
  DDX_Text(dx, IDC_SIMPLE_PAGES, m_strSimplePages);
  DDX_Text(dx, IDC_SIMPLE_COLOR, m_strSimpleColor);
  DDX_Text(dx, IDC_SIMPLE_FORMAT, m_strSimpleFormat);
  DDX_Text(dx, IDC_SIMPLE_FOLDER, m_strSimpleFolder);

  DDX_Check(dx, IDC_MAIN_PREVIEW, m_bPreview);
  DDX_Check(dx, IDC_MAIN_DELETE_AFTER_SAVE, m_bDeleteAfterSave);
  DDX_Radio(dx, IDC_MAIN_RANGE_ALL, m_nPageRange);
}

void CMainDlg::DeclareMessageMap(MessageMap& map) {
  map.OnClicked(IDC_MAIN_SAVE, this, &CMainDlg::OnOK);
  map.OnClicked(IDC_SIMPLE_SAVE, this, &CMainDlg::OnOK);
  map.OnClicked(IDC_MAIN_EXIT, this, &CMainDlg::OnBnClickedExit);
  map.OnClicked(IDC_SIMPLE_EXIT, this, &CMainDlg::OnBnClickedExitSimple);
  map.OnClicked(IDC_MAIN_REFRESH, this, &CMainDlg::OnBnClickedRefresh);
  map.OnMenuCommand(ID_SETTINGS_BASIC, this, &CMainDlg::OnBasicSettings);
  map.OnMenuCommand(ID_SETTINGS_SELECT_MFP, this, &CMainDlg::OnSelectMfp);
  map.OnMenuCommand(ID_MODE_SIMPLE, this, &CMainDlg::OnSimpleMode);
  map.OnMenuCommand(ID_MODE_ADVANCED, this, &CMainDlg::OnAdvancedMode);
  for (int radio : {IDC_MAIN_RANGE_ALL, IDC_MAIN_RANGE_CURRENT, IDC_MAIN_RANGE_PAGES}) {
    map.OnClicked(radio, this, &CMainDlg::OnBnClickedPageRange);
  }
  map.OnNotify(IDC_MAIN_DOCUMENT_LIST, LVN_ITEMCHANGED, this, &CMainDlg::OnLvnItemChangedList);
  map.OnNotify(IDC_MAIN_DOCUMENT_LIST, LVN_DELETEALLITEMS, this,
               &CMainDlg::OnLvnDeleteAllItemsList);
  map.OnNotify(IDC_MAIN_DOCUMENT_LIST, NM_RCLICK, this, &CMainDlg::OnNMRClickList);
  map.OnNotify(IDC_MAIN_BOX_TREE, NM_CLICK, this, &CMainDlg::OnNMClickTree);
  map.OnClicked(IDC_MAIN_PREV_PAGE, this, &CMainDlg::OnBnClickedPrevPage);
  map.OnClicked(IDC_MAIN_NEXT_PAGE, this, &CMainDlg::OnBnClickedNextPage);
  map.OnClicked(IDC_MAIN_PREVIEW, this, &CMainDlg::OnBnClickedPreview);
  map.OnMenuCommand(ID_DOCUMENT_DELETE, this, &CMainDlg::OnDeleteDocument);
  map.OnCommand(IDC_MAIN_PAGE, EN_KILLFOCUS, this, &CMainDlg::OnEnKillfocusPage);
  map.OnCommand(IDC_MAIN_PAGE_FROM, EN_CHANGE, this, &CMainDlg::OnEnChangeFrom);
  map.OnCommand(IDC_MAIN_PAGE_TO, EN_CHANGE, this, &CMainDlg::OnEnChangeTo);
  map.OnCommand(IDC_MAIN_PAGE, EN_CHANGE, this, &CMainDlg::OnEnChangePage);
}

BOOL CMainDlg::OnInitDialog() {
  CConvertDlg::OnInitDialog();
  SetAdvancedDlgTexts(*this);
  SetSimpleDlgTexts(*this);
  LocalizeMenu();
  MarkModeInMenu(ID_MODE_ADVANCED, ID_MODE_SIMPLE);
  if (CMenu* system = GetSystemMenu(FALSE)) {
    system->AppendMenu(MF_SEPARATOR);
    system->AppendMenu(MF_STRING, ID_SYSTEM_ABOUT, LoadResString(30401));  // "About"
  }
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  if (m_btnPrevPage) m_btnPrevPage->SetIcon(m_hIconPrevPage);
  if (m_btnNextPage) m_btnNextPage->SetIcon(m_hIconNextPage);
  if (m_listDocuments) m_listDocuments->SetImageList(&m_imageList, LVSIL_SMALL);
  if (m_treeBoxes) m_treeBoxes->SetImageList(&m_imageList, TVSIL_NORMAL);

  m_mfpInfo = m_appSettings.GetMFPInfo();
  m_settingInfo = m_appSettings.GetSettingInfo();
  m_passwordInfo = m_appSettings.GetPasswordInfo();
  // Pages left from an earlier run go.
  ClearWorkFolders();

  InitListColumns();
  for (int id : {IDC_MAIN_PAGE_FROM, IDC_MAIN_PAGE_TO, IDC_MAIN_PAGE_FROM_SPIN,
                 IDC_MAIN_PAGE_TO_SPIN, IDC_MAIN_PREV_PAGE, IDC_MAIN_NEXT_PAGE, IDC_MAIN_PAGE}) {
    if (Control* c = GetDlgItem(id)) c->EnableWindow(false);
  }
  m_bDeleteAfterSave = m_settingInfo.DeleteFile;
  for (int id : {IDC_MAIN_PAGE, IDC_MAIN_PAGE_FROM, IDC_MAIN_PAGE_TO}) {
    if (Control* edit = GetDlgItem(id)) {
      edit->SetLimitText(kMaxPageDigits);
      // Page numbers are typed as they are, never composed.
      edit->SetInputMethodEnabled(false);
    }
  }
  if (m_settingInfo.SimpleMode) {
    OnSimpleMode();
  } else {
    SetMode(kModeAdvanced);
  }
  UpdateData(FALSE);
  return TRUE;
}

void CMainDlg::LocalizeMenu() {
  CMenu* menu = GetMenu();
  if (!menu) return;
  menu->SetMenuItemText(0, TRUE, LoadResString(30001));  // "Settings"
  menu->SetMenuItemText(1, TRUE, LoadResString(30101));  // "Mode Change"
  // By command; the items' check and gray states are set afterwards.
  const struct {
    int command;
    std::int32_t text;
  } items[] = {
      {ID_SETTINGS_SELECT_MFP, 30302},  // "Select MFP"
      {ID_SETTINGS_BASIC, 30301},       // "Basic Settings"
      {ID_MODE_ADVANCED, 30303},        // "Advance Mode"
      {ID_MODE_SIMPLE, 30304},          // "Simple Mode"
  };
  for (const auto& item : items) {
    menu->ModifyMenu(item.command, MF_BYCOMMAND | MF_STRING, item.command,
                     LoadResString(item.text));
  }
}

void CMainDlg::MarkModeInMenu(int modeItem, int otherItem) {
  CMenu* menu = GetMenu();
  if (!menu) return;
  // The current mode cannot be chosen again.
  menu->CheckMenuItem(otherItem, MF_BYCOMMAND | MF_UNCHECKED);
  menu->CheckMenuItem(modeItem, MF_BYCOMMAND | MF_CHECKED);
  menu->EnableMenuItem(modeItem, MF_BYCOMMAND | MF_GRAYED);
  menu->EnableMenuItem(otherItem, MF_BYCOMMAND | MF_ENABLED);
  DrawMenuBar();
}

void CMainDlg::SetMode(MainDlgMode mode) {
  if (m_nMode == mode) return;
  m_nMode = mode;
  const bool advanced = mode == kModeAdvanced;
  const std::span<const int> show = advanced ? std::span<const int>(kAdvancedModeControls)
                                             : std::span<const int>(kSimpleModeControls);
  const std::span<const int> hide = advanced ? std::span<const int>(kSimpleModeControls)
                                             : std::span<const int>(kAdvancedModeControls);
  const int modeItem = advanced ? ID_MODE_ADVANCED : ID_MODE_SIMPLE;
  const int otherItem = advanced ? ID_MODE_SIMPLE : ID_MODE_ADVANCED;
  // A control the template lacks is passed over.
  for (int id : show) {
    if (Control* c = GetDlgItem(id)) c->ShowWindow(SW_SHOW);
  }
  for (int id : hide) {
    if (Control* c = GetDlgItem(id)) c->ShowWindow(SW_HIDE);
  }
  SetDefID(advanced ? IDC_MAIN_SAVE : IDC_SIMPLE_SAVE);
  ResizeKeepCentre(this, ModeSize(mode));
  MarkModeInMenu(modeItem, otherItem);
  // Both views take the boxes of the last listing; the device is not asked.
  if (advanced) {
    RefreshBoxTree(FALSE);
  } else {
    RefreshSimpleView(FALSE);
  }
  UpdateData(FALSE);
}

void CMainDlg::OnPaint() {
  if (IsIconic()) {
    CPaintDC dc(*this);
    SendMessageW(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    const Rect client = GetClientRect();
    dc.DrawIcon((client.cx - cxIcon + 1) / 2, (client.cy - cyIcon + 1) / 2, m_hIcon);
    return;
  }
  CConvertDlg::OnPaint();
  if (m_previewImage.IsNull() || !m_stcPreview) return;
  // Drawn anew on every paint of the window.
  CClientDC dc(*m_stcPreview);
  dc.SetStretchBltMode(HALFTONE);
  m_previewImage.StretchBlt(dc, m_previewRect.x, m_previewRect.y, m_previewRect.cx,
                            m_previewRect.cy, 0, 0, m_previewImage.GetWidth(),
                            m_previewImage.GetHeight(), SRCCOPY);
}

HICON CMainDlg::OnQueryDragIcon() { return m_hIcon; }

void CMainDlg::OnSysCommand(UINT id, LPARAM param) {
  if ((id & 0xFFF0u) == static_cast<UINT>(ID_SYSTEM_ABOUT)) {
    CAboutDlg about;
    about.DoModal();
    return;
  }
  CConvertDlg::OnSysCommand(id, param);
}

void CMainDlg::ClearWorkFolders() {
  CreateWorkFolders();
  m_strSaveFolder = SaveFolderPath();
  m_strPreviewFolder = PreviewFolderPath();
  const CFolderCleaner cleaner;
  cleaner.DeleteFolderContents(m_strSaveFolder);
  cleaner.DeleteFolderContents(m_strPreviewFolder);
}

void CMainDlg::OnCancel() {
  ClearWorkFolders();
  // The only place the settings are written; a failure has shown its own
  // message and does not keep the window open.
  m_appSettings.Save();
  CConvertDlg::OnCancel();
}

void CMainDlg::OnBnClickedExit() { OnCancel(); }

void CMainDlg::OnSimpleMode() {
  // Seen at once and kept painted while the view is built, which may take
  // a listing from the device.
  CProgressDlg preparing(kProgressPreparingSimple, this);
  preparing.SetForegroundWindow();
  SetMode(kModeSimple);
  preparing.DestroyWindow();
}

void CMainDlg::OnAdvancedMode() { SetMode(kModeAdvanced); }

void CMainDlg::ReportCommError(int code) {
  ShowError(CommErrorText(code), 20001);  // "Communication"
  if (code == 807) {
    // The remembered password was refused: it is asked for again next time
    // and not stored at exit.
    m_passwordInfo.savePassword = FALSE;
    SetPasswordInfo(m_passwordInfo);
  }
  ClearSimpleViewAfterCommError();
}

void CMainDlg::ReportCommErrorWithoutPassword(int code) {
  ShowError(CommErrorText(code), 20001);  // "Communication"
  ClearSimpleViewAfterCommError();
}

void CMainDlg::ClearSimpleViewAfterCommError() {
  if (m_nMode != kModeSimple) return;
  m_strSimpleDevice = m_settingInfo.machineName;
  m_strSimpleFolder = m_settingInfo.folderPath;
  ClearSimpleDocumentTexts();
}

int CMainDlg::ShowError(std::int32_t textId, std::int32_t captionId) {
  return MessageBox(MessageText(textId), MessageText(captionId), MB_ICONERROR);
}

}  // namespace tallow::app
