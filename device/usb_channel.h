// The USB channel: the box protocol to an MFP attached by USB, over the Still
// Image transport. Each command opens the device by its internal name, locks
// it for its exchange, and releases it again before it returns. Pages come by
// a "GETFILE" request and one "GETDATA" request per block.
#pragma once

#include "contracts/xml_http_api.h"
#include "device/box_tables.h"

namespace tallow {

// The USB channel's result tables; their root is named "USB".
BoxTables& UsbBoxTables();

// 1 on "CODE" 600; the failing "CODE"; 0 without a reply or when the device
// cannot be opened.
int UsbListFolders(WStringView deviceName);
void GetUsbFolderNames(WStringList& names);

// 1 on success; otherwise 0, a failing "CODE" kept in |errorCode| when given.
int UsbListFiles(int boxIndex, WStringView deviceName, WStringView password, int* errorCode);
void GetUsbFileNames(WStringList& names);
void GetUsbFileTimeStamps(WStringList& stamps);
void GetUsbFilePageCounts(WStringList& counts);

// 1 on "CODE" 600; the failing "CODE"; 0 without a request or a reply.
int UsbGetImageInfo(int fileIndex, int page, ImageInfo* info, WStringView deviceName);

// 1 when the page file of page |page| of document |fileIndex| was written
// whole into |folder|.
int UsbDownloadPage(WStringView folder, int fileIndex, int page, WStringView deviceName);
// The transfer of a download: the "GETFILE" request built in |doc|, then the
// "GETDATA" blocks into |pageFile|, kept only when it begins as a page of
// |imageFormat| does. Needs the device opened and locked.
int UsbReceiveFileData(XhDocument doc, WStringView pageFile, std::int32_t imageFormat,
                       const XmlHttpApi& api);

// 1 on "CODE" 600; otherwise 0, a failing "CODE" kept in |errorCode| when given.
int UsbDeleteFile(int fileIndex, WStringView deviceName, int* errorCode);

}  // namespace tallow
