// The one door through which the main window reaches the MFP: every
// operation picks the USB or the network channel from the MFP settings.
#pragma once

#include <cstdint>

#include "core/settings.h"
#include "device/box_tables.h"
#include "platform/ole_date.h"

namespace tallow {

inline constexpr int kUsbFlag = 1;  // the USB flag of the operations that take one

// deviceInternalName for a USB MFP, IPv4Address otherwise.
WString GetDeviceAddress(const MFPInfo& mfp);

// Empties |names| and fills it with the box names of a fresh listing, the
// root first. The listing's result: 1, a failing "CODE", or 0.
int RefreshFolderList(const MFPInfo& mfp, WStringList& names);

// Appends the box names of the last listing, the root first; nothing is
// sent to the device.
void GetFolderNames(int usbFlag, WStringList& names);

// The box name at |boxIndex| (the root is 0) of the last listing; false and
// an empty name when the listing has no such entry.
bool GetFolderNameAt(int boxIndex, WString& name, int usbFlag);
bool GetFolderName(const MFPInfo& mfp, WString& name, int boxIndex);

// Lists the documents of the box shown by tree item |treeKey| (0: the box at
// |boxIndex|). 1 on success; 0 otherwise, a failing "CODE" in |errorCode|.
int ListFolderFiles(const MFPInfo& mfp, TreeItemKey treeKey, int boxIndex, WStringView password,
                    int* errorCode);
int ListFolderFilesByKey(int usbFlag, TreeItemKey treeKey, WStringView address,
                         std::uint16_t port, int boxIndex, WStringView password, int* errorCode);

// Makes |treeKey| the key of box |boxIndex| of the last listing, by which
// the box is found from then on; false when the listing has no such box.
bool SetFolderTreeKey(int usbFlag, int boxIndex, TreeItemKey treeKey);
// The record index of the box shown by |treeKey|; 0 for key 0; -1 when no box has it.
int FindFolderIndex(int usbFlag, TreeItemKey treeKey);
// 1 when the box shown by |treeKey| needs its password.
int IsFolderPasswordProtected(int usbFlag, TreeItemKey treeKey);
// 1 when box |boxIndex| of the last listing needs its password; 0 also when
// the listing holds no such box.
int IsBoxPasswordProtected(int usbFlag, int boxIndex);

inline constexpr int kMaxFormatEntries = kMaxFileRecords;

// Appends the document columns of the last listing; copies each record's
// IMAGEFORMAT into |formats| (room for 256) when 1 to 256 documents are listed.
void GetFileListColumns(int usbFlag, WStringList& names, WStringList& stamps, WStringList& pages,
                        std::int32_t* formats);
// Sorts the columns and the channel's table by time stamp, oldest first;
// the table's records move whole with their rows.
void SortFileListByDate(int usbFlag, WStringList& names, WStringList& stamps, WStringList& pages,
                        std::int32_t* formats);
void SwapAdjacentStrings(WStringList& list, int i);

// The FILEID of document |fileIndex| of the last listing; false, and 0, when
// the listing holds no such document.
bool GetFileId(const MFPInfo& mfp, int fileIndex, std::uint32_t& fileId);
// The page files that DownloadPageForPreview and DownloadPageForSave write
// for page |page| of document |fileIndex|; empty when the listing holds no
// such document or its image format has no page files.
WString PreviewPageFilePath(const MFPInfo& mfp, int fileIndex, int page);
WString SavePageFilePath(const MFPInfo& mfp, int fileIndex, int page);

// Downloads a page into the save folder, then reads its image information:
// that request's result (1, a failing "CODE", or 0); 0 when the download failed.
int DownloadPageForSave(const MFPInfo& mfp, int fileIndex, int page, ImageInfo* info);
// Downloads a page into the preview folder: 1 or 0.
int DownloadPageForPreview(const MFPInfo& mfp, int fileIndex, int page);
// 1 on success; 0 otherwise, a failing "CODE" in |errorCode|.
int DeleteDeviceFile(const MFPInfo& mfp, int fileIndex, int* errorCode);

enum class DateStatus { Valid, Invalid, Null };
// "%Y/%m/%d %H:%M:%S"; "Invalid DateTime" for an invalid date, empty for a null one.
WString FormatListDateTime(DATE date, DateStatus status);

}  // namespace tallow
