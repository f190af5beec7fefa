#include "device/net_channel.h"

#include "device/box_protocol.h"
#include "device/page_picture.h"
#include "device/xml_api_binding.h"
#include "platform/cursor.h"

namespace tallow {

namespace {

constexpr const char* kPagePath = "/loadimg.cgi";

// The network channel's own copy of the tag table.
const BoxTagTable kNetTagTable = kBoxTagNames;

BoxTables g_netTables;

// One box-service exchange: request document and connection live only for
// the call; the wait cursor shows while it runs.
template <class Build, class Walk>
int RunCommand(const XmlHttpApi& api, WStringView host, std::uint16_t port, Build build,
               Walk walk) {
  WaitCursorScope cursor;
  XhDocument doc = BeginBoxRequest(api, kNetTagTable.data());
  if (!doc) return 0;
  XhConnection conn = api.OpenConnection(ToAnsi(host).c_str());
  build(doc);
  int result = 0;
  if (api.HttpPost(conn, port, kBoxServicePath, doc)) result = walk(doc);
  api.FreeDocument(doc);
  api.CloseConnection(conn);
  return result;
}

}  // namespace

BoxTables& NetBoxTables() { return g_netTables; }

int NetListFolders(WStringView host, std::uint16_t port) {
  PresetBoxListing(g_netTables, host);
  const XmlHttpApi* api = BoundXmlHttpApi();
  if (!api) return 0;
  return RunCommand(
      *api, host, port, [&](XhDocument doc) { BuildListBoxesRequest(*api, doc); },
      [&](XhDocument doc) { return WalkBoxListing(*api, doc, g_netTables); });
}

void GetNetFolderNames(WStringList& names) { AppendFolderNames(g_netTables, names); }

int NetListFiles(WStringView host, WStringView password, int boxIndex, std::uint16_t port,
                 int* errorCode) {
  g_netTables.fileCount = -1;
  const BoxFolderRecord* box = FindBoxRecord(g_netTables, boxIndex);
  if (!box || box->FOLDERID == 0) return 0;
  const XmlHttpApi* api = BoundXmlHttpApi();
  if (!api) return 0;
  StoreBoxPassword(g_netTables, password);
  return RunCommand(
      *api, host, port,
      [&](XhDocument doc) { BuildListFilesRequest(*api, doc, *box, g_netTables.password); },
      [&](XhDocument doc) { return WalkFileListing(*api, doc, g_netTables, errorCode); });
}

void GetNetFileNames(WStringList& names) { AppendFileNames(g_netTables, names); }
void GetNetFileTimeStamps(WStringList& stamps) { AppendFileTimeStamps(g_netTables, stamps); }
void GetNetFilePageCounts(WStringList& counts) { AppendFilePageCounts(g_netTables, counts); }

int NetDownloadPage(int fileIndex, int page, WStringView host, WStringView folder,
                    std::uint16_t port) {
  const BoxFileRecord* file = FindFileRecord(g_netTables, fileIndex);
  if (!file || file->FILEID == 0) return 0;
  // A document of an unknown image format has no page file to store.
  WString pageFile = PageFileName(folder, file->FILEID, page, file->IMAGEFORMAT);
  if (pageFile.empty()) return 0;
  const XmlHttpApi* api = BoundXmlHttpApi();
  if (!api) return 0;

  WaitCursorScope cursor;
  XhDocument doc = api->CreateDocument(kNetTagTable.data());
  if (!doc) return 0;
  api->ResetDocument(doc);
  XhConnection conn = api->OpenConnection(ToAnsi(host).c_str());
  api->SetParameter(doc, "FileID", Format("%08X", file->FILEID).c_str());
  api->SetParameter(doc, "PageNumber", Format("%d", page).c_str());
  const std::int32_t imageFormat = file->IMAGEFORMAT;
  const bool stored = api->HttpGetToFile(conn, port, kPagePath, doc, ToAnsi(pageFile).c_str(), 0) != 0;
  api->FreeDocument(doc);
  api->CloseConnection(conn);
  // A reply of success whose body is no picture of the document's kind is
  // no page.
  return stored && KeepPageFileIfPicture(pageFile, imageFormat) ? 1 : 0;
}

int NetGetImageInfo(int fileIndex, int page, ImageInfo* info, WStringView host,
                    std::uint16_t port) {
  const BoxFileRecord* file = FindFileRecord(g_netTables, fileIndex);
  if (!file || file->FILEID == 0 || !info) return 0;
  const XmlHttpApi* api = BoundXmlHttpApi();
  if (!api) return 0;
  const std::uint32_t fileId = file->FILEID;
  return RunCommand(
      *api, host, port, [&](XhDocument doc) { BuildImageInfoRequest(*api, doc, fileId, page); },
      [&](XhDocument doc) { return WalkImageInfo(*api, doc, *info); });
}

int NetDeleteFile(int fileIndex, WStringView host, std::uint16_t port, int* errorCode) {
  const BoxFileRecord* file = FindFileRecord(g_netTables, fileIndex);
  if (!file || file->FILEID == 0) return 0;
  const XmlHttpApi* api = BoundXmlHttpApi();
  if (!api) return 0;
  const std::uint32_t fileId = file->FILEID;
  return RunCommand(
      *api, host, port, [&](XhDocument doc) { BuildDeleteRequest(*api, doc, fileId); },
      [&](XhDocument doc) { return WalkDeleteReply(*api, doc, errorCode); });
}

}  // namespace tallow
