// The Advanced view: the boxes of the MFP as a tree, the documents of the
// selected box as a list, one page of the selected document in the preview,
// the page buttons and field, the page range for saving, deletion and
// Refresh. Every device operation runs here on the UI thread, under the
// wait cursor; the window takes no input until it returns.
#include <algorithm>
#include <string>

#include "app/dialogs/password_dlg.h"
#include "app/main_window/main_dlg.h"
#include "core/digit_filter.h"
#include "core/text_format.h"
#include "core/texts.h"
#include "device/channel_layer.h"
#include "platform/cursor.h"
#include "platform/ui/menu.h"
#include "platform/ui/paint.h"

namespace tallow::app {

using namespace tallow::res;
using namespace tallow::ui;

namespace {

// The image list's pictures.
constexpr int kImageRoot = 0;
constexpr int kImageBox = 1;
constexpr int kImageBoxSelected = 2;
constexpr int kImageDocument = 3;

// The list's columns, their widths in pixels of the dialog font the layout
// was drawn for.
constexpr struct {
  std::int32_t heading;
  int width;
} kColumns[] = {
    {10001, 80},   // "File Number"
    {10002, 130},  // "Date/Time"
    {10003, 70},   // "Pages"
    {10004, 90},   // "B/W / Color"
};
constexpr int kColumnPages = 2;
constexpr int kColumnColour = 3;

TreeItemKey KeyOf(HTREEITEM item) { return reinterpret_cast<TreeItemKey>(item); }

WString Decimal(int value) { return FromAnsi(std::to_string(value)); }

// Held within the document's pages, and never below 1: with no document
// selected, or one without pages, the page field shows 1, never 0.
int ClampPage(int page, int pageCount) { return std::max(1, std::min(page, pageCount)); }

}  // namespace

Rect FitPreviewRect(int areaWidth, int areaHeight, int pictureWidth, int pictureHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0) return Rect{};
  if (pictureHeight > pictureWidth) {
    const int width = MulDiv(areaHeight, pictureWidth, pictureHeight);
    return Rect{areaWidth / 2 - width / 2 + 1, 1, width, areaHeight};
  }
  const int height = MulDiv(areaWidth, pictureHeight, pictureWidth);
  return Rect{1, areaHeight / 2 - height / 2 + 1, areaWidth, height};
}

int CMainDlg::UsbFlag() const { return m_mfpInfo.isUSB ? kUsbFlag : 0; }

int CMainDlg::SelectedDocument() const {
  if (!m_listDocuments) return -1;
  const int row = m_listDocuments->GetNextItem(-1, LVNI_SELECTED);
  return row < 0 ? -1 : static_cast<int>(m_listDocuments->GetItemData(row));
}

int CMainDlg::SelectedPageCount() const {
  if (!m_listDocuments) return 0;
  const int row = m_listDocuments->GetNextItem(-1, LVNI_SELECTED);
  return row < 0 ? 0 : LeadingDecimal(m_listDocuments->GetItemText(row, kColumnPages));
}

void CMainDlg::DropPreview() {
  if (m_previewImage.IsNull()) return;
  m_previewImage.Destroy();
  Invalidate(TRUE);
}

void CMainDlg::EnablePageControls(bool enable) {
  for (int id : {IDC_MAIN_PREV_PAGE, IDC_MAIN_NEXT_PAGE, IDC_MAIN_PAGE}) {
    if (Control* c = GetDlgItem(id)) c->EnableWindow(enable);
  }
}

int CMainDlg::RefreshBoxTree(BOOL fromDevice) {
  if (!m_treeBoxes || !m_listDocuments) return 0;
  m_treeBoxes->DeleteAllItems();
  m_listDocuments->DeleteAllItems();
  const WString address = GetDeviceAddress(m_mfpInfo);
  UpdateData(TRUE);
  const int usb = UsbFlag();
  if (fromDevice) {
    if (address.empty()) {
      ShowError(21007, 20003);  // "No Device Selected.", "Select MFP"
      return 0;
    }
    int listed;
    {
      WaitCursorScope wait;
      listed = RefreshFolderList(m_mfpInfo, m_boxNames);
    }
    if (listed == 0) {
      ShowError(21001, 20001);  // "Unable to connect to the scanner.", "Communication"
      return 0;
    }
    // A failing "CODE" leaves the root alone, without a message.
  } else {
    m_boxNames.clear();
    GetFolderNames(usb, m_boxNames);
  }
  // Each item's handle is the key by which the channel finds its box.
  if (!m_boxNames.empty()) {
    const HTREEITEM root = m_treeBoxes->InsertItem(m_boxNames[0], kImageRoot, kImageRoot);
    SetFolderTreeKey(usb, 0, KeyOf(root));
    for (std::size_t i = 1; i < m_boxNames.size(); ++i) {
      const HTREEITEM box =
          m_treeBoxes->InsertItem(m_boxNames[i], kImageBox, kImageBoxSelected, root);
      SetFolderTreeKey(usb, static_cast<int>(i), KeyOf(box));
    }
    m_treeBoxes->Expand(root, TVE_EXPAND);
    // Selected without a click: no documents are listed.
    m_treeBoxes->SelectItem(root);
  }
  DropPreview();
  m_nPage = 1;
  UpdateData(FALSE);
  return 1;
}

void CMainDlg::OnBnClickedRefresh() {
  if (m_nMode == kModeAdvanced) {
    RefreshBoxTree(TRUE);
  } else {
    RefreshSimpleView(TRUE);
  }
}

void CMainDlg::InitListColumns() {
  if (!m_listDocuments) return;
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
    m_listDocuments->InsertColumn(i, LoadResString(kColumns[i].heading), LVCFMT_LEFT,
                                  kColumns[i].width);
  }
}

void CMainDlg::FillDocumentList() {
  if (!m_listDocuments) return;
  WStringList names;
  WStringList stamps;
  WStringList pages;
  GetFileListColumns(UsbFlag(), names, stamps, pages, m_imageFormats.get());
  // The newest entry of the table first; each row keeps its table index.
  int row = 0;
  for (int i = static_cast<int>(names.size()) - 1; i >= 0; --i, ++row) {
    const auto at = static_cast<std::size_t>(i);
    const int r = m_listDocuments->InsertItem(LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM, row, names[at],
                                              0, 0, kImageDocument, i);
    m_listDocuments->SetItemText(r, 1, at < stamps.size() ? stamps[at] : WString());
    m_listDocuments->SetItemText(r, kColumnPages, at < pages.size() ? pages[at] : WString());
    WString colour;
    if (m_imageFormats[at] == kImageFormatMono) colour = FindLabelText(8001).value_or(WString());
    if (m_imageFormats[at] == kImageFormatColor) colour = FindLabelText(8002).value_or(WString());
    m_listDocuments->SetItemText(r, kColumnColour, colour);
  }
}

void CMainDlg::SelectBox(HTREEITEM item) {
  if (!m_listDocuments) return;
  m_listDocuments->DeleteAllItems();
  DropPreview();
  WString password;
  const int usb = UsbFlag();
  const TreeItemKey key = KeyOf(item);
  if (IsFolderPasswordProtected(usb, key)) {
    // One remembered password serves every protected box.
    if (m_passwordInfo.savePassword) {
      password = m_passwordInfo.password;
    } else {
      if (RunPasswordDlg() != 1) return;
      m_passwordInfo = m_appSettings.GetPasswordInfo();
      password = m_passwordInfo.password;
    }
  }
  // The root has no documents; a key that shows no box lists none.
  if (FindFolderIndex(usb, key) <= 0) return;
  int code = 0;
  int listed;
  {
    WaitCursorScope wait;
    listed = ListFolderFiles(m_mfpInfo, key, 0, password, &code);
  }
  if (listed) {
    FillDocumentList();
  } else {
    ReportCommError(code);
  }
}

void CMainDlg::OnNMClickTree(NMHDR* /*header*/, LRESULT* result) {
  UpdateData(TRUE);
  UpdateData(FALSE);
  if (m_treeBoxes) {
    Point at = GetMessagePos();
    m_treeBoxes->ScreenToClient(&at);
    // Empty space clears the selection, and with it the list.
    const HTREEITEM hit = m_treeBoxes->HitTest(at);
    m_treeBoxes->SelectItem(hit);
    SelectBox(hit);
  }
  if (result) *result = 0;
}

void CMainDlg::OnBnClickedPageRange() {
  UpdateData(TRUE);
  const bool pages = m_nPageRange == kRangePages;
  for (int id :
       {IDC_MAIN_PAGE_FROM, IDC_MAIN_PAGE_TO, IDC_MAIN_PAGE_FROM_SPIN, IDC_MAIN_PAGE_TO_SPIN}) {
    if (Control* c = GetDlgItem(id)) c->EnableWindow(pages);
  }
  if (pages) {
    // Both fields start at 1, also when "Pages" was chosen already.
    for (CSpinButtonCtrl* spin : {m_spinPageFrom, m_spinPageTo}) {
      if (!spin) continue;
      spin->SetRange32(1, kMaxSavePage);
      spin->SetPos32(1);
    }
  }
  UpdateData(TRUE);
  UpdateData(FALSE);
}

void CMainDlg::ShowPreview(int docIndex) {
  const int pageCount = SelectedPageCount();
  m_nPage = ClampPage(m_nPage, pageCount);
  // A row without a listed document, and a document without pages, have
  // nothing to show: nothing is asked of the device.
  std::uint32_t fileId = 0;
  if (pageCount < 1 || !GetFileId(m_mfpInfo, docIndex, fileId)) {
    DropPreview();
    return;
  }
  int downloaded;
  {
    WaitCursorScope wait;
    downloaded = DownloadPageForPreview(m_mfpInfo, docIndex, m_nPage);
  }
  if (!downloaded) {
    ShowError(21004, 20001);  // "Unable to download the file.", "Communication"
    m_bPreview = FALSE;
    DropPreview();
    return;
  }
  // Downloaded anew each time: a page file in the folder is never reused.
  m_previewImage.Destroy();
  m_previewImage.Load(PreviewPageFilePath(m_mfpInfo, docIndex, m_nPage));
  if (!m_previewImage.IsNull() && m_stcPreview) {
    const Rect client = m_stcPreview->GetClientRect();
    m_previewRect = FitPreviewRect(client.cx - 2, client.cy - 2, m_previewImage.GetWidth(),
                                   m_previewImage.GetHeight());
  }
  Invalidate(TRUE);
}

void CMainDlg::OnLvnItemChangedList(NMHDR* header, LRESULT* result) {
  const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
  const bool stateChanged = (change->uChanged & LVIF_STATE) != 0;
  if (stateChanged && (change->uNewState & LVIS_SELECTED)) {
    UpdateData(TRUE);
    const int doc = SelectedDocument();
    // The count runs straight into its unit: "3page(s)".
    m_strPageCount = Decimal(SelectedPageCount()) + LoadResString(10005);
    m_nPage = 1;
    if (m_bPreview && doc != -1) ShowPreview(doc);
    EnablePageControls(true);
    UpdateData(FALSE);
  } else if (stateChanged && (change->uOldState & LVIS_SELECTED)) {
    UpdateData(TRUE);
    m_nPage = 1;
    EnablePageControls(false);
    DropPreview();
    m_strPageCount.clear();
    UpdateData(FALSE);
  }
  if (result) *result = 0;
}

void CMainDlg::OnLvnDeleteAllItemsList(NMHDR* /*header*/, LRESULT* result) {
  EnablePageControls(false);
  m_strPageCount.clear();
  UpdateData(FALSE);
  // The list goes on to report each row's deletion.
  if (result) *result = 0;
}

void CMainDlg::StepPage(int delta) {
  const int before = m_nPage;
  const int pageCount = SelectedPageCount();
  UpdateData(TRUE);  // a number typed into the page field counts
  m_nPage = ClampPage(m_nPage + delta, pageCount);
  if (m_nPage != before && m_bPreview) {
    const int doc = SelectedDocument();
    if (doc != -1) ShowPreview(doc);
  }
  UpdateData(FALSE);
}

void CMainDlg::OnBnClickedPrevPage() { StepPage(-1); }
void CMainDlg::OnBnClickedNextPage() { StepPage(+1); }

BOOL CMainDlg::PreTranslateMessage(MSG* msg) {
  // Enter in the page field goes to that page and never reaches the dialog,
  // where it would press the default button (Save).
  if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN &&
      GetFocusId() == IDC_MAIN_PAGE) {
    GoToPage();
    return FALSE;
  }
  return CConvertDlg::PreTranslateMessage(msg);
}

void CMainDlg::GoToPage() {
  UpdateData(TRUE);
  m_nPage = ClampPage(m_nPage, SelectedPageCount());
  // Shown again also when the page stays the same.
  if (m_bPreview) {
    const int doc = SelectedDocument();
    if (doc != -1) ShowPreview(doc);
  }
  UpdateData(FALSE);
}

void CMainDlg::OnEnKillfocusPage() {
  if (GetDlgItemText(IDC_MAIN_PAGE).empty()) SetDlgItemText(IDC_MAIN_PAGE, Decimal(m_nPage));
  GoToPage();
}

void CMainDlg::OnBnClickedPreview() {
  UpdateData(TRUE);
  if (m_bPreview) {
    const int doc = SelectedDocument();
    if (doc != -1) ShowPreview(doc);
  } else {
    DropPreview();
  }
  UpdateData(FALSE);
}

void CMainDlg::OnEnChangeFrom() { FilterDigitsInEdit(GetDlgItem(IDC_MAIN_PAGE_FROM)); }
void CMainDlg::OnEnChangeTo() { FilterDigitsInEdit(GetDlgItem(IDC_MAIN_PAGE_TO)); }
void CMainDlg::OnEnChangePage() { FilterDigitsInEdit(GetDlgItem(IDC_MAIN_PAGE)); }

void CMainDlg::OnNMRClickList(NMHDR* /*header*/, LRESULT* /*result*/) {
  if (SelectedDocument() == -1) return;
  const Point at = GetCursorPos();
  std::unique_ptr<CMenu> menu = CMenu::Load(IDR_DOCUMENT_MENU);
  CMenu* popup = menu ? menu->GetSubMenu(0) : nullptr;
  if (!popup) return;
  popup->SetMenuItemText(0, TRUE, LoadResString(30201));  // "Delete"
  // The item chosen comes back as its command.
  popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, this);
}

void CMainDlg::OnDeleteDocument() {
  const int doc = SelectedDocument();
  if (doc == -1 || !m_listDocuments || !m_treeBoxes) return;
  // Deleted without asking; then the box is listed again.
  int deleted;
  int listed = 0;
  int code = 0;
  {
    WaitCursorScope wait;
    deleted = DeleteDeviceFile(m_mfpInfo, doc, nullptr);
    if (deleted) listed = ListSelectedBox(&code);
  }
  if (!deleted) {
    ReportCommError(0);
    return;
  }
  ShowSelectedBoxListed(listed, code);
}

int CMainDlg::ListSelectedBox(int* code) {
  if (!m_treeBoxes) return 0;
  // With the last password typed or remembered, sent only for a protected
  // box.
  return ListFolderFiles(m_mfpInfo, KeyOf(m_treeBoxes->GetSelectedItem()), 0,
                         m_passwordInfo.password, code);
}

void CMainDlg::ShowSelectedBoxListed(int listed, int code) {
  if (!m_listDocuments) return;
  if (listed) {
    m_listDocuments->DeleteAllItems();
    FillDocumentList();
    return;
  }
  if (code == 0) {
    ShowError(21001, 20001);  // "Unable to connect to the scanner.", "Communication"
  } else {
    ReportCommError(code);
  }
  // The channel's table went with the failed listing: rows left would name
  // documents it no longer holds.
  m_listDocuments->DeleteAllItems();
}

}  // namespace tallow::app
