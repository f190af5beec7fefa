// The main window (template 207): one dialog holding the controls of both
// modes. The frame (frame.cpp, placement.cpp) switches between the modes,
// places and paints the window and ends the program; the Advanced view
// (advanced_view.cpp) browses boxes, documents and pages; the Simple view
// (simple_view.cpp) shows one document at a time; the save road
// (save_flow.cpp) writes documents to disk; settings_commands.cpp runs the
// Select MFP and Basic Settings commands.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "app/dialogs/progress_dlg.h"
#include "app/main_window/convert_dlg.h"
#include "convert/convertor.h"
#include "core/settings.h"
#include "core/work_folders.h"
#include "platform/ui/dialog.h"
#include "platform/ui/icon.h"
#include "platform/ui/image.h"
#include "platform/ui/worker_thread.h"
#include "res/resource_ids.h"

namespace tallow::app {

class CMainDlg;

// The display mode.
using MainDlgMode = std::uint16_t;
inline constexpr MainDlgMode kModeSimple = 0;
inline constexpr MainDlgMode kModeAdvanced = 1;
inline constexpr MainDlgMode kModeNone = 0xFFFF;  // before the first mode is set

// The page-range radio group.
enum PageRangeMode { kRangeAll = 0, kRangeCurrentPage = 1, kRangePages = 2 };

// The save worker's status, as it reports it.
enum ConvertStatus {
  kConvertStarted = 1,
  kConvertDownloading = 2,
  kConvertConverting = 3,
  kConvertFinished = 4,  // also the idle value
  kConvertCancelled = 5,
  kConvertDownloadFailed = 128,
  kConvertFailed = 129,
};

// The controls of each mode, in the order they are shown or hidden.
inline constexpr int kSimpleModeControls[] = {
    res::IDC_SIMPLE_DOCUMENT_GROUP, res::IDC_SIMPLE_DEVICE_LABEL,
    res::IDC_SIMPLE_DEVICE_NAME,    res::IDC_SIMPLE_BOX_LABEL,
    res::IDC_SIMPLE_BOX_NAME,       res::IDC_SIMPLE_FILE_NUMBER_LABEL,
    res::IDC_SIMPLE_FILE_NUMBER,    res::IDC_SIMPLE_DATE_TIME_LABEL,
    res::IDC_SIMPLE_DATE_TIME,      res::IDC_SIMPLE_PAGES_LABEL,
    res::IDC_SIMPLE_PAGES,          res::IDC_SIMPLE_COLOR_LABEL,
    res::IDC_SIMPLE_COLOR,          res::IDC_SIMPLE_DESTINATION_GROUP,
    res::IDC_SIMPLE_FOLDER_LABEL,   res::IDC_SIMPLE_FOLDER,
    res::IDC_SIMPLE_FORMAT_LABEL,   res::IDC_SIMPLE_FORMAT,
    res::IDC_SIMPLE_SAVE,           res::IDC_SIMPLE_EXIT,
};
inline constexpr int kAdvancedModeControls[] = {
    res::IDC_MAIN_BOX_TREE,      res::IDC_MAIN_DOCUMENT_LIST,
    res::IDC_MAIN_PREVIEW,       res::IDC_MAIN_PREV_PAGE,
    res::IDC_MAIN_NEXT_PAGE,     res::IDC_MAIN_PAGE,
    res::IDC_MAIN_RANGE_GROUP,   res::IDC_MAIN_RANGE_ALL,
    res::IDC_MAIN_RANGE_CURRENT, res::IDC_MAIN_RANGE_PAGES,
    res::IDC_MAIN_PAGE_FROM,     res::IDC_MAIN_PAGE_FROM_SPIN,
    res::IDC_MAIN_PAGE_TO,       res::IDC_MAIN_PAGE_TO_SPIN,
    res::IDC_MAIN_ERASE_GROUP,   res::IDC_MAIN_DELETE_AFTER_SAVE,
    res::IDC_MAIN_SAVE,          res::IDC_MAIN_REFRESH,
    res::IDC_MAIN_EXIT,          res::IDC_MAIN_PAGE_COUNT,
    res::IDC_MAIN_PREVIEW_FRAME,
};

// The last page number a save takes: the page fields hold four digits, and
// a page count from the device beyond it is refused before anything is made
// for its pages.
inline constexpr int kMaxSavePage = 9999;

// The default window sizes of the modes, in pixels, until the controls
// have been measured.
inline constexpr ui::Size kDefaultSimpleSize{336, 287};
inline constexpr ui::Size kDefaultAdvancedSize{729, 445};

// The document the Simple view shows.
struct SimpleDocInfo {
  WString fileNumber;
  WString dateTime;
  WString pages;
  int colorFlag = 0;  // 0 black-and-white, 1 colour
  int docIndex = -1;  // index in the listing; -1 none
};

// What the UI thread and the save worker share during a save. The UI thread
// writes everything but the cancel flag before the worker starts, and reads
// it again only once the worker is joined; the worker alone writes the
// status, page and total meanwhile.
struct ConvertThreadContext {
  std::atomic<BOOL> bCancel{FALSE};  // the user asked to stop
  int nStatus = kConvertStarted;
  int nCurrent = 0;  // page reported last; 0 none
  int nTotal = 0;    // last page of the range
  void (*pfnCallback)(CMainDlg* owner) = nullptr;
  CMainDlg* pOwner = nullptr;
  std::unique_ptr<ui::CWinThread> pThread;  // the worker, until it is joined
  CFolderCleaner folderCleaner;             // empties the save folder for the worker
  IConvertor* pJob = nullptr;               // the save's writer; the window owns it
  int nDocIndex = -1;                       // document being saved; -1 none

  // Back to idle: no worker, no writer, nothing reported. A worker still
  // running is joined first (the UI thread serving its calls meanwhile),
  // so that nothing of the save is used after it is reset.
  void Reset();
};

// Where a picture of |pictureWidth| x |pictureHeight| pixels is drawn in an
// area of |areaWidth| x |areaHeight|, one pixel in from the frame's edge:
// as large as fits, centred across the other way.
ui::Rect FitPreviewRect(int areaWidth, int areaHeight, int pictureWidth, int pictureHeight);

class CMainDlg : public CConvertDlg {
 public:
  CMainDlg();
  ~CMainDlg() override;

  // ---- frame
  BOOL OnInitDialog() override;
  void LocalizeMenu();
  // Shows |mode|'s controls and gives the window that mode's size; the
  // current mode changes nothing.
  void SetMode(MainDlgMode mode);
  // Gives |window| the size |size| around its centre, kept inside the
  // work area's width and height measured from 0.
  void ResizeKeepCentre(ui::CDialog* window, ui::Size size);
  // The union of the screen rectangles of the controls |ids|; FALSE when one
  // is missing or lies off the screen's positive quarter.
  BOOL GetControlsBoundingRect(ui::CDialog* window, const int* ids, int count, ui::Rect* out);
  void ComputeModeSizes();
  void OnCancel() override;
  void OnSimpleMode();
  void OnAdvancedMode();
  // The message box of a failed device operation (|code|: the device's,
  // 0 for none).
  void ReportCommError(int code);
  // The same for a request that sent no password (the box listing): its
  // 807 is said, but no remembered password is dropped for it.
  void ReportCommErrorWithoutPassword(int code);

  // ---- Advanced view
  // From the device (Refresh) or from the last listing: 1 built, 0 failed.
  int RefreshBoxTree(BOOL fromDevice);
  void InitListColumns();
  void FillDocumentList();
  void SelectBox(ui::HTREEITEM item);
  void ShowPreview(int docIndex);
  void GoToPage();
  BOOL PreTranslateMessage(ui::MSG* msg) override;

  // ---- Simple view
  BOOL RefreshSimpleView(BOOL fromDevice);
  SimpleDocInfo PickSimpleDocument();
  SimpleDocInfo GetSimpleDocument(int index);
  void ShowSimpleDocument(int index);

  // ---- save road
  void OnOK() override;
  void CancelConvert() override;
  void SaveAdvanced();
  void SaveSimple();
  int AskSaveFileName(WString& path, BOOL mono, int format, int& type);
  BOOL RunConvertThread(int docIndex, IConvertor* job);
  static UINT SaveThreadProc(void* context);
  static void ConvertProgressCallback(CMainDlg* owner);

  // ---- Select MFP and Basic Settings commands
  void OnSelectMfp();
  void OnBasicSettings();

  // Members, in the order the window's parts share them.
  ui::HICON m_hIcon;
  ui::HICON m_hIconPrevPage;
  ui::HICON m_hIconNextPage;
  ui::HICON m_hIconDocument;
  ui::HICON m_hIconBox;
  ui::HICON m_hIconBoxSelected;
  ui::HICON m_hIconRoot;
  ui::Size m_sizeSimple;  // measured window size; 0 = not measured
  ui::Size m_sizeAdvanced;
  ui::Control* m_stcPreview = nullptr;  // 1401, the preview's frame
  ui::CImage m_previewImage;            // empty: nothing to paint
  WStringList m_boxNames;               // of the last listing; 0 is the root
  WString m_strSaveFolder;
  WString m_strPreviewFolder;
  std::unique_ptr<std::int32_t[]> m_imageFormats;  // colour flag per listed document
  ui::CTreeCtrl* m_treeBoxes = nullptr;
  ui::CListCtrl* m_listDocuments = nullptr;
  ui::CImageList m_imageList;  // the tree's and the list's pictures
  ui::Control* m_editPageFrom = nullptr;
  ui::Control* m_editPageTo = nullptr;
  ui::CSpinButtonCtrl* m_spinPageFrom = nullptr;
  ui::CSpinButtonCtrl* m_spinPageTo = nullptr;
  ui::Control* m_btnPrevPage = nullptr;
  ui::Control* m_btnNextPage = nullptr;
  ui::Control* m_editPage = nullptr;
  ui::Control* m_chkPreview = nullptr;
  WString m_strPageFrom;
  WString m_strPageTo;
  WString m_strPageCount;
  int m_nPageRange = kRangeAll;
  int m_nPage = 1;
  BOOL m_bPreview = FALSE;
  BOOL m_bDeleteAfterSave = FALSE;
  MFPInfo m_mfpInfo;
  SettingInfo m_settingInfo;
  PasswordInfo m_passwordInfo;
  ui::Rect m_previewRect;  // in 1401's client area
  SimpleDocInfo m_simpleDoc;
  AppSettings m_appSettings;
  ui::Control* m_stcPageCount = nullptr;
  WString m_strSimpleDevice;      // 2201
  WString m_strSimpleBox;         // 2202
  WString m_strSimpleFileNumber;  // 2203
  WString m_strSimpleDateTime;    // 2204
  WString m_strSimplePages;       // 2205
  WString m_strSimpleColor;       // 2206
  WString m_strSimpleFormat;      // 2208
  WString m_strSimpleFolder;      // 2011
  ui::Control* m_btnSimpleSave = nullptr;
  ui::Control* m_btnSimpleExit = nullptr;
  int m_nSimpleSaved = 0;      // documents saved since the newest was picked
  int m_nSimpleDocIndex = -1;  // the newest document; -1 none
  WStringList m_simpleBoxNames;
  WStringList m_simpleFileNames;  // the listing's columns, oldest first
  WStringList m_simpleTimeStamps;
  WStringList m_simplePageCounts;
  MainDlgMode m_nMode = kModeNone;
  IConvertor* m_pConvertor = nullptr;  // owned: the writer of the last save
  ConvertThreadContext m_convertContext;
  CProgressDlg m_progressDlg;

 protected:
  void DoDataExchange(ui::CDataExchange* dx) override;
  void DeclareMessageMap(ui::MessageMap& map) override;
  void OnSysCommand(UINT id, ui::LPARAM param) override;
  void OnPaint() override;
  void OnSize(UINT type, int cx, int cy) override;
  ui::HICON OnQueryDragIcon() override;

 private:
  // ---- frame
  void OnBnClickedExit();
  // Makes the working folders and empties the save and preview folders.
  void ClearWorkFolders();
  // The menu item of the mode in use checked and grayed, the other's not.
  void MarkModeInMenu(int modeItem, int otherItem);
  // ---- Advanced view
  void OnBnClickedRefresh();
  void OnNMClickTree(ui::NMHDR* header, ui::LRESULT* result);
  void OnBnClickedPageRange();
  void OnLvnItemChangedList(ui::NMHDR* header, ui::LRESULT* result);
  void OnLvnDeleteAllItemsList(ui::NMHDR* header, ui::LRESULT* result);
  void OnBnClickedPrevPage();
  void OnBnClickedNextPage();
  void OnBnClickedPreview();
  void OnNMRClickList(ui::NMHDR* header, ui::LRESULT* result);
  void OnDeleteDocument();
  void OnEnKillfocusPage();
  void OnEnChangeFrom();
  void OnEnChangeTo();
  void OnEnChangePage();
  // ---- Simple view
  // The five document texts emptied and shown.
  void ClearSimpleDocumentTexts();
  // What a device failure leaves in the Simple view: the settings' device
  // name and folder, no document texts. Nothing in Advanced Mode.
  void ClearSimpleViewAfterCommError();
  // |doc|'s texts and the format a save of it takes; a colour flag other
  // than 0 and 1 gives "Color" when |anyFlagIsColour|, else leaves the
  // colour text as it is.
  void ShowSimpleTexts(const SimpleDocInfo& doc, bool anyFlagIsColour);
  // Lists the configured box, asking for its password where it needs one;
  // false when nothing was listed.
  bool ListSimpleBox(int code);
  // ---- save road
  void OnBnClickedExitSimple();
  // Opens |job| on |folder| and |name| (NULL: a time-stamp name) for pages
  // |first| to |last|, its pages to come into the save folder.
  HRESULT OpenJob(IConvertor& job, const WString& folder, const char16_t* name, int first,
                  int last);

  // Helpers of the views.
  // A message box of texts from the message table, with the error icon.
  int ShowError(std::int32_t textId, std::int32_t captionId);
  int UsbFlag() const;
  // The mode's size: measured, else the default.
  ui::Size ModeSize(MainDlgMode mode) const;
  // The selected row's item data (-1 for none) and page count (0 for none).
  int SelectedDocument() const;
  int SelectedPageCount() const;
  // Steps to |delta| pages away from the page shown.
  void StepPage(int delta);
  void DropPreview();
  void EnablePageControls(bool enable);
  // After a deletion: the box selected in the tree listed again (the result
  // of ListFolderFiles), and the rows that listing gives.
  int ListSelectedBox(int* code);
  void ShowSelectedBoxListed(int listed, int code);
};

}  // namespace tallow::app
