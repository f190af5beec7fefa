// The box protocol as both transports share it: the tag table, the request
// tree of every command, and the walks that read a reply into the tables.
#pragma once

#include <array>
#include <cstdint>

#include "contracts/xml_http_api.h"
#include "device/box_tables.h"

namespace tallow {

enum BoxTag : std::int32_t {
  TAG_JOB = 0, TAG_COMMAND = 1, TAG_TYPE = 2, TAG_PARAM = 3, TAG_CODE = 4,
  TAG_ATTRIBUTE = 5, TAG_FOLDERID = 6, TAG_PASSWORD = 7, TAG_FOLDERNAME = 8,
  TAG_FILEID = 9, TAG_FILENAME = 10, TAG_TIMESTAMP = 11, TAG_PAGES = 12,
  TAG_DOCUMENTID = 13, TAG_USERID = 14, TAG_STATUS = 15, TAG_IMAGEPATH = 16,
  TAG_SUBJECT = 17, TAG_USERHANDLE = 18, TAG_DOCUMENT = 19, TAG_OWNER = 20,
  TAG_DOCTYPE = 21, TAG_SERVER = 22, TAG_STRAGE = 23, TAG_XPIXEL = 24,
  TAG_YPIXEL = 25, TAG_XRESOLUTION = 26, TAG_YRESOLUTION = 27, TAG_PAGE = 28,
  TAG_RESOLUTION = 29, TAG_DOCSIZE = 30, TAG_SCALING = 31, TAG_DENSITY = 32,
  TAG_ERRORCODE = 33, TAG_ERRORWORDING = 34, TAG_FILE = 35, TAG_FOLDER = 36,
  TAG_DATASIZE = 37, TAG_PAGENUMBER = 38, TAG_ROOTNAME = 39, TAG_USERNAME = 40,
  TAG_USER = 41, TAG_PACKET = 42, TAG_MODE = 43, TAG_HPIXEL = 44,
  TAG_HRESOLUTION = 45, TAG_SCAN = 46, TAG_STORAGE = 47, TAG_IMAGEFORMAT = 48,
};
inline constexpr int kBoxTagCount = 49;

// The tag names by index, ended by a null pointer. Each channel hands its own
// copy to CreateDocument.
using BoxTagTable = std::array<const char*, kBoxTagCount + 1>;
extern const BoxTagTable kBoxTagNames;

// Reply codes.
inline constexpr std::int32_t kCodeSuccess = 600;
inline constexpr std::int32_t kCodeMoreData1 = 601;
inline constexpr std::int32_t kCodeMoreData2 = 602;
inline constexpr std::int32_t kCodeLastBlock = 603;
inline constexpr std::int32_t kCodeAuthFailed = 807;

// Request parameter of every box-service request.
inline constexpr const char* kVersionParam = "version";
inline constexpr const char* kVersionValue = "2";
inline constexpr const char* kBoxServicePath = "/ScanBox.cgi";

// True when every slot that the channels call is filled.
bool IsUsableXmlHttpApi(const XmlHttpApi& api);

// A fresh request document: created from |tags|, reset, "version" set.
// Null when the library could not create one.
XhDocument BeginBoxRequest(const XmlHttpApi& api, const char* const* tags);

// Request trees ("JOB" > "COMMAND", "TYPE", "PARAM" > "STORAGE" > parameters).
void BuildListBoxesRequest(const XmlHttpApi& api, XhDocument doc);
void BuildListFilesRequest(const XmlHttpApi& api, XhDocument doc, const BoxFolderRecord& box,
                           const char* password);
void BuildImageInfoRequest(const XmlHttpApi& api, XhDocument doc, std::uint32_t fileId, int page);
void BuildDeleteRequest(const XmlHttpApi& api, XhDocument doc, std::uint32_t fileId);
void BuildGetFileRequest(const XmlHttpApi& api, XhDocument doc, std::uint32_t fileId, int page);
void BuildGetDataRequest(const XmlHttpApi& api, XhDocument doc);

// Presets of a box listing: no boxes, and the root named |rootName|.
void PresetBoxListing(BoxTables& tables, WStringView rootName);
// Keeps the box password of a document listing in the tables, cut to 4 bytes.
void StoreBoxPassword(BoxTables& tables, WStringView password);

// Reply walks. Each returns the command's result: 0 when the reply has no
// node; otherwise 1 on success or what the command's rules make of a failing
// "CODE".
int WalkBoxListing(const XmlHttpApi& api, XhDocument doc, BoxTables& tables);
int WalkFileListing(const XmlHttpApi& api, XhDocument doc, BoxTables& tables, int* errorCode);
int WalkImageInfo(const XmlHttpApi& api, XhDocument doc, ImageInfo& info);
int WalkDeleteReply(const XmlHttpApi& api, XhDocument doc, int* errorCode);

// Walk of a "GETFILE" or "GETDATA" reply.
struct TransferReply {
  bool ok = false;              // a "CODE" came and every "CODE" was 600 to 603
  std::int32_t lastCode = 0;    // the last "CODE" read
  std::uint32_t dataSize = 0;   // "DATASIZE", 0 when the reply has none
};
TransferReply WalkTransferReply(const XmlHttpApi& api, XhDocument doc);

}  // namespace tallow
