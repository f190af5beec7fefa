// Replies from the box service are untrusted: parse them with the XML
// library, read every node, and run each of the channels' reply walks on
// them, with the tables in the states a walk can start from.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "device/box_protocol.h"
#include "kivor_table.h"

namespace {

using namespace tallow;

BoxTables g_tables;

void ReadEveryNode(const XmlHttpApi& api, XhDocument doc) {
  size_t sum = 0;
  for (XhNode n = api.FirstNode(doc, -1); n != nullptr; n = api.NextNode(doc, -1)) {
    const int32_t tag = api.GetNodeTag(n);
    if (tag < -1 || tag >= kBoxTagCount) __builtin_trap();
    const char* text = api.GetNodeText(n);
    if (text == nullptr) __builtin_trap();
    sum += std::strlen(text);
    int32_t number;
    uint32_t id;
    if (api.GetNodeNumber(n, &number)) sum += static_cast<size_t>(number);
    if (api.GetNodeId(n, &id)) sum += id;
  }
  // Texts stay readable until the document changes; read the first again.
  if (XhNode first = api.FirstNode(doc, -1)) sum += std::strlen(api.GetNodeText(first));
  (void)sum;
}

void RunWalks(const XmlHttpApi& api, XhDocument doc) {
  PresetBoxListing(g_tables, u"127.0.0.1");
  WalkBoxListing(api, doc, g_tables);
  if (g_tables.folderCount < 0 || g_tables.folderCount > kMaxBoxRecords) __builtin_trap();

  int error = 0;
  g_tables.fileCount = -1;
  WalkFileListing(api, doc, g_tables, &error);
  if (g_tables.fileCount < -1 || g_tables.fileCount > kMaxFileRecords) __builtin_trap();

  ImageInfo info{};
  WalkImageInfo(api, doc, info);
  WalkDeleteReply(api, doc, &error);
  WalkTransferReply(api, doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  const XmlHttpApi& api = fuzz::KivorTable();
  XhDocument doc = api.CreateDocument(kBoxTagNames.data());
  if (api.ParseReply(doc, data, static_cast<uint32_t>(size)) != 0) {
    ReadEveryNode(api, doc);
    RunWalks(api, doc);
  }
  api.ResetDocument(doc);
  api.FreeDocument(doc);
  return 0;
}
