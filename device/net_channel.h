// The network channel: the box protocol as HTTP POSTs of XML to the MFP's box
// service, and page images by HTTP GET straight into page files.
#pragma once

#include <cstdint>

#include "device/box_tables.h"

namespace tallow {

// The network channel's result tables.
BoxTables& NetBoxTables();

// 1 when the reply had "CODE" 600 or at least one box; the failing "CODE";
// 0 without a reply.
int NetListFolders(WStringView host, std::uint16_t port);
void GetNetFolderNames(WStringList& names);

// 1 when the reply had "CODE" 600 or at least one document; otherwise 0, a
// failing "CODE" kept in |errorCode| when given.
int NetListFiles(WStringView host, WStringView password, int boxIndex, std::uint16_t port,
                 int* errorCode);
void GetNetFileNames(WStringList& names);
void GetNetFileTimeStamps(WStringList& stamps);
void GetNetFilePageCounts(WStringList& counts);

// 1 when page |page| of document |fileIndex| was stored as its page file in |folder|.
int NetDownloadPage(int fileIndex, int page, WStringView host, WStringView folder,
                    std::uint16_t port);
// 1 on "CODE" 600; the failing "CODE"; 0 without a reply.
int NetGetImageInfo(int fileIndex, int page, ImageInfo* info, WStringView host,
                    std::uint16_t port);
// 1 on "CODE" 600; otherwise 0, a failing "CODE" kept in |errorCode| when given.
int NetDeleteFile(int fileIndex, WStringView host, std::uint16_t port, int* errorCode);

}  // namespace tallow
