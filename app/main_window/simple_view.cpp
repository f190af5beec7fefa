// The Simple view: one document at a time of the box the basic settings
// name, the newest first by date; after each save the next older one of the
// same listing (save_flow.cpp walks it).
#include "app/dialogs/password_dlg.h"
#include "app/main_window/main_dlg.h"
#include "core/texts.h"
#include "device/channel_layer.h"
#include "platform/cursor.h"

namespace tallow::app {

namespace {

WString Label(std::int32_t id) { return FindLabelText(id).value_or(WString()); }

const WString& EntryOr(const WStringList& column, int index, const WString& none) {
  return index >= 0 && static_cast<std::size_t>(index) < column.size() ? column[index] : none;
}

}  // namespace

void CMainDlg::ClearSimpleDocumentTexts() {
  m_strSimpleFileNumber.clear();
  m_strSimpleDateTime.clear();
  m_strSimplePages.clear();
  m_strSimpleColor.clear();
  m_strSimpleFormat.clear();
  UpdateData(FALSE);
}

void CMainDlg::ShowSimpleTexts(const SimpleDocInfo& doc, bool anyFlagIsColour) {
  m_strSimpleFileNumber = doc.fileNumber;
  m_strSimpleDateTime = doc.dateTime;
  m_strSimplePages = doc.pages;
  if (doc.colorFlag == kImageFormatMono) {
    m_strSimpleColor = Label(8001);  // "B/W"
  } else if (doc.colorFlag == kImageFormatColor || anyFlagIsColour) {
    m_strSimpleColor = Label(8002);  // "Color"
  }
  // The format a save of the document takes; SaveSimple reads it back.
  if (doc.colorFlag == kImageFormatColor) {
    m_strSimpleFormat = m_settingInfo.ColorFormat == 0 ? u"PDF" : u"JPEG";
  } else if (doc.colorFlag == kImageFormatMono) {
    m_strSimpleFormat = m_settingInfo.MonoFormat == 0 ? u"PDF" : u"TIFF";
  }
}

BOOL CMainDlg::RefreshSimpleView(BOOL fromDevice) {
  m_settingInfo = m_appSettings.GetSettingInfo();
  m_mfpInfo = m_appSettings.GetMFPInfo();
  m_passwordInfo = m_appSettings.GetPasswordInfo();
  int code = 0;
  if (fromDevice) {
    {
      WaitCursorScope wait;
      code = RefreshFolderList(m_mfpInfo, m_simpleBoxNames);
    }
    if (code == 0) {
      ReportCommError(0);
      return FALSE;
    }
    // A failing "CODE" leaves the root alone.
  } else {
    m_simpleBoxNames.clear();
    GetFolderNames(UsbFlag(), m_simpleBoxNames);
  }
  m_strSimpleDevice = !m_mfpInfo.isUSB && m_settingInfo.machineName.empty()
                          ? m_mfpInfo.IPv4Address
                          : m_settingInfo.machineName;
  const bool boxListed = m_settingInfo.boxIndex >= 1 &&
                         GetFolderName(m_mfpInfo, m_strSimpleBox, m_settingInfo.boxIndex);
  m_strSimpleFolder = m_settingInfo.folderPath;
  // A box the MFP did not list (the settings kept it from another MFP, or
  // the box listing failed): nothing is asked of it, and the user is told
  // why the view is empty. A box listing refused with a code says that code;
  // the listing sends no password, so its 807 leaves the remembered one
  // alone and the password dialog could not help. Otherwise what a listing
  // of a box that is not there gives.
  if (!boxListed) {
    m_nSimpleDocIndex = -1;
    ClearSimpleDocumentTexts();
    ReportCommErrorWithoutPassword(code == 1 ? 0 : code);
    return TRUE;
  }
  if (!ListSimpleBox(code)) return TRUE;

  m_simpleDoc = PickSimpleDocument();
  m_nSimpleDocIndex = m_simpleDoc.docIndex;
  if (m_nSimpleDocIndex < 0) {
    ClearSimpleDocumentTexts();
    return TRUE;
  }
  ShowSimpleTexts(m_simpleDoc, true);
  m_nSimpleSaved = 0;
  UpdateData(FALSE);
  return TRUE;
}

bool CMainDlg::ListSimpleBox(int code) {
  const int boxIndex = m_settingInfo.boxIndex;
  for (;;) {
    WString password;
    if (code == 807 || IsBoxPasswordProtected(UsbFlag(), boxIndex)) {
      // One remembered password serves every protected box.
      if (!m_passwordInfo.savePassword) {
        if (RunPasswordDlg() != 1) {
          ClearSimpleDocumentTexts();
          return false;
        }
        m_passwordInfo = m_appSettings.GetPasswordInfo();
      }
      password = m_passwordInfo.password;
    }
    int err = 0;
    int listed;
    {
      WaitCursorScope wait;
      listed = ListFolderFiles(m_mfpInfo, 0, boxIndex, password, &err);
    }
    if (listed) return true;
    // The listing went with the failure: no index into it may stay.
    m_nSimpleDocIndex = -1;
    ReportCommError(err);
    // 807 has dropped the remembered password: the dialog asks for it.
    if (err != 807) return false;
    code = err;
  }
}

SimpleDocInfo CMainDlg::PickSimpleDocument() {
  SimpleDocInfo doc;
  m_simpleFileNames.clear();
  m_simpleTimeStamps.clear();
  m_simplePageCounts.clear();
  const int usb = UsbFlag();
  GetFileListColumns(usb, m_simpleFileNames, m_simpleTimeStamps, m_simplePageCounts,
                     m_imageFormats.get());
  // Oldest first; the channel's table moves with the rows, so that entry i
  // and file record i are the same document.
  SortFileListByDate(usb, m_simpleFileNames, m_simpleTimeStamps, m_simplePageCounts,
                     m_imageFormats.get());
  const int count = static_cast<int>(m_simpleFileNames.size());
  if (count > 0 && count <= kMaxFormatEntries) doc = GetSimpleDocument(count - 1);
  return doc;
}

SimpleDocInfo CMainDlg::GetSimpleDocument(int index) {
  SimpleDocInfo doc;
  if (index < 0 || index >= kMaxFormatEntries) return doc;
  const WString none;
  doc.fileNumber = EntryOr(m_simpleFileNames, index, none);
  doc.dateTime = EntryOr(m_simpleTimeStamps, index, none);
  doc.pages = EntryOr(m_simplePageCounts, index, none);
  doc.colorFlag = m_imageFormats[index];
  doc.docIndex = index;
  return doc;
}

void CMainDlg::ShowSimpleDocument(int index) {
  if (index < 0) {
    ClearSimpleDocumentTexts();
    m_nSimpleDocIndex = -1;
    return;
  }
  m_simpleDoc = GetSimpleDocument(index);
  ShowSimpleTexts(m_simpleDoc, false);
  UpdateData(FALSE);
}

}  // namespace tallow::app
