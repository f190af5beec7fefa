#include "device/channel_layer.h"

#include <cmath>
#include <utility>

#include "core/work_folders.h"
#include "device/net_channel.h"
#include "device/usb_channel.h"

namespace tallow {

namespace {

bool IsUsb(int usbFlag) { return usbFlag == kUsbFlag; }
int UsbFlagOf(const MFPInfo& mfp) { return mfp.isUSB ? kUsbFlag : 0; }

BoxTables& TablesOf(int usbFlag) { return IsUsb(usbFlag) ? UsbBoxTables() : NetBoxTables(); }

const BoxFileRecord* ListedFile(const MFPInfo& mfp, int fileIndex) {
  return FindFileRecord(TablesOf(UsbFlagOf(mfp)), fileIndex);
}

WString ListedPageFile(const MFPInfo& mfp, int fileIndex, int page, WStringView folder) {
  const BoxFileRecord* file = ListedFile(mfp, fileIndex);
  return file ? PageFileName(folder, file->FILEID, page, file->IMAGEFORMAT) : WString();
}

// A negative date's fraction is a time after its midnight, so it counts
// forward from the day.
double ComparableDate(DATE d) {
  if (d >= 0) return d;
  const double day = std::ceil(d);
  return day - (d - day);
}

}  // namespace

WString GetDeviceAddress(const MFPInfo& mfp) {
  return mfp.isUSB ? mfp.deviceInternalName : mfp.IPv4Address;
}

int RefreshFolderList(const MFPInfo& mfp, WStringList& names) {
  names.clear();
  const WString address = GetDeviceAddress(mfp);
  int result;
  if (mfp.isUSB) {
    result = UsbListFolders(address);
    GetUsbFolderNames(names);
  } else {
    result = NetListFolders(address, mfp.httpPortNumber);
    GetNetFolderNames(names);
  }
  return result;
}

void GetFolderNames(int usbFlag, WStringList& names) {
  if (IsUsb(usbFlag)) GetUsbFolderNames(names);
  else GetNetFolderNames(names);
}

bool GetFolderNameAt(int boxIndex, WString& name, int usbFlag) {
  WStringList names;
  GetFolderNames(usbFlag, names);
  if (boxIndex < 0 || static_cast<std::size_t>(boxIndex) >= names.size()) {
    name.clear();
    return false;
  }
  name = names[boxIndex];
  return true;
}

bool GetFolderName(const MFPInfo& mfp, WString& name, int boxIndex) {
  return GetFolderNameAt(boxIndex, name, UsbFlagOf(mfp));
}

int ListFolderFiles(const MFPInfo& mfp, TreeItemKey treeKey, int boxIndex, WStringView password,
                    int* errorCode) {
  return ListFolderFilesByKey(UsbFlagOf(mfp), treeKey, GetDeviceAddress(mfp), mfp.httpPortNumber,
                              boxIndex, password, errorCode);
}

int ListFolderFilesByKey(int usbFlag, TreeItemKey treeKey, WStringView address,
                         std::uint16_t port, int boxIndex, WStringView password, int* errorCode) {
  const int index = treeKey == 0 ? boxIndex : FindFolderIndex(usbFlag, treeKey);
  // The root cannot be listed; a key that shows no box lists nothing.
  if (index <= 0) return 0;
  if (IsUsb(usbFlag)) return UsbListFiles(index, address, password, errorCode);
  return NetListFiles(address, password, index, port, errorCode);
}

bool SetFolderTreeKey(int usbFlag, int boxIndex, TreeItemKey treeKey) {
  BoxTables& t = TablesOf(usbFlag);
  if (!FindBoxRecord(t, boxIndex)) return false;
  t.folders[boxIndex].treeKey = treeKey;
  return true;
}

int FindFolderIndex(int usbFlag, TreeItemKey treeKey) {
  if (treeKey == 0) return 0;
  const BoxTables& t = TablesOf(usbFlag);
  for (int i = 0; i < t.folderCount && i < kMaxBoxRecords; ++i) {
    if (t.folders[i].treeKey == treeKey) return i;
  }
  return -1;
}

int IsFolderPasswordProtected(int usbFlag, TreeItemKey treeKey) {
  return IsBoxPasswordProtected(usbFlag, FindFolderIndex(usbFlag, treeKey));
}

int IsBoxPasswordProtected(int usbFlag, int boxIndex) {
  const BoxFolderRecord* box = FindBoxRecord(TablesOf(usbFlag), boxIndex);
  return box && (box->ATTRIBUTE & kBoxNeedsPassword) ? 1 : 0;
}

void GetFileListColumns(int usbFlag, WStringList& names, WStringList& stamps, WStringList& pages,
                        std::int32_t* formats) {
  const BoxTables& t = TablesOf(usbFlag);
  AppendFileNames(t, names);
  AppendFileTimeStamps(t, stamps);
  AppendFilePageCounts(t, pages);
  if (formats && t.fileCount >= 1 && t.fileCount <= kMaxFileRecords) {
    for (int i = 0; i < t.fileCount; ++i) formats[i] = t.files[i].IMAGEFORMAT;
  }
}

void SwapAdjacentStrings(WStringList& list, int i) {
  if (i < 0 || static_cast<std::size_t>(i) + 1 >= list.size()) return;
  std::swap(list[i], list[i + 1]);
}

void SortFileListByDate(int usbFlag, WStringList& names, WStringList& stamps, WStringList& pages,
                        std::int32_t* formats) {
  const int n = static_cast<int>(names.size());
  // Every column must hold an entry for each row, or there is nothing to sort.
  if (n <= 1 || stamps.size() < names.size() || pages.size() < names.size() || n > kMaxFileRecords)
    return;
  BoxTables& t = TablesOf(usbFlag);
  const bool tableInStep = t.fileCount >= n;
  for (int pass = 1; pass < n; ++pass) {
    for (int j = 0; j + pass < n; ++j) {
      DATE a, b;
      if (FAILED(VarDateFromStr(stamps[j].c_str(), LOCALE_USER_DEFAULT, 0, &a)) ||
          FAILED(VarDateFromStr(stamps[j + 1].c_str(), LOCALE_USER_DEFAULT, 0, &b))) {
        continue;
      }
      if (!(ComparableDate(b) < ComparableDate(a))) continue;
      stamps[j] = FormatListDateTime(b, DateStatus::Valid);
      stamps[j + 1] = FormatListDateTime(a, DateStatus::Valid);
      SwapAdjacentStrings(names, j);
      SwapAdjacentStrings(pages, j);
      if (formats) std::swap(formats[j], formats[j + 1]);
      // The whole record moves with its row, so that every field of record
      // j describes the document shown in entry j.
      if (tableInStep) std::swap(t.files[j], t.files[j + 1]);
    }
  }
}

bool GetFileId(const MFPInfo& mfp, int fileIndex, std::uint32_t& fileId) {
  const BoxFileRecord* file = ListedFile(mfp, fileIndex);
  fileId = file ? file->FILEID : 0;
  return file != nullptr;
}

WString PreviewPageFilePath(const MFPInfo& mfp, int fileIndex, int page) {
  return ListedPageFile(mfp, fileIndex, page, PreviewFolderPath());
}

WString SavePageFilePath(const MFPInfo& mfp, int fileIndex, int page) {
  return ListedPageFile(mfp, fileIndex, page, SaveFolderPath());
}

int DownloadPageForSave(const MFPInfo& mfp, int fileIndex, int page, ImageInfo* info) {
  const WString address = GetDeviceAddress(mfp);
  const WString folder = SaveFolderPath();
  if (mfp.isUSB) {
    if (!UsbDownloadPage(folder, fileIndex, page, address)) return 0;
    return UsbGetImageInfo(fileIndex, page, info, address);
  }
  if (!NetDownloadPage(fileIndex, page, address, folder, mfp.httpPortNumber)) return 0;
  return NetGetImageInfo(fileIndex, page, info, address, mfp.httpPortNumber);
}

int DownloadPageForPreview(const MFPInfo& mfp, int fileIndex, int page) {
  const WString address = GetDeviceAddress(mfp);
  const WString folder = PreviewFolderPath();
  if (mfp.isUSB) return UsbDownloadPage(folder, fileIndex, page, address) ? 1 : 0;
  return NetDownloadPage(fileIndex, page, address, folder, mfp.httpPortNumber) ? 1 : 0;
}

int DeleteDeviceFile(const MFPInfo& mfp, int fileIndex, int* errorCode) {
  const WString address = GetDeviceAddress(mfp);
  if (mfp.isUSB) return UsbDeleteFile(fileIndex, address, errorCode);
  return NetDeleteFile(fileIndex, address, mfp.httpPortNumber, errorCode);
}

WString FormatListDateTime(DATE date, DateStatus status) {
  switch (status) {
    case DateStatus::Null: return {};
    case DateStatus::Invalid: return u"Invalid DateTime";
    case DateStatus::Valid: break;
  }
  WString text = FormatDate(date, "%Y/%m/%d %H:%M:%S");
  return text.empty() ? WString(u"Invalid DateTime") : text;
}

}  // namespace tallow
