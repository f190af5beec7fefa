#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kivor.h"

namespace {

const char* const kTags[] = {
    "JOB",        "COMMAND",     "TYPE",        "PARAM",       "CODE",         "ATTRIBUTE",
    "FOLDERID",   "PASSWORD",    "FOLDERNAME",  "FILEID",      "FILENAME",     "TIMESTAMP",
    "PAGES",      "DOCUMENTID",  "USERID",      "STATUS",      "IMAGEPATH",    "SUBJECT",
    "USERHANDLE", "DOCUMENT",    "OWNER",       "DOCTYPE",     "SERVER",       "STRAGE",
    "XPIXEL",     "YPIXEL",      "XRESOLUTION", "YRESOLUTION", "PAGE",         "RESOLUTION",
    "DOCSIZE",    "SCALING",     "DENSITY",     "ERRORCODE",   "ERRORWORDING", "FILE",
    "FOLDER",     "DATASIZE",    "PAGENUMBER",  "ROOTNAME",    "USERNAME",     "USER",
    "PACKET",     "MODE",        "HPIXEL",      "HRESOLUTION", "SCAN",         "STORAGE",
    "IMAGEFORMAT", nullptr};

const XmlHttpApi& Api() {
  static const XmlHttpApi table = [] {
    XmlHttpApi t{};
    GetHTTPXML(&t, sizeof t);
    return t;
  }();
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  const XmlHttpApi& api = Api();
  XhDocument doc = api.CreateDocument(kTags);
  if (api.ParseReply(doc, data, static_cast<uint32_t>(size)) != 0) {
    size_t sum = 0;
    for (XhNode n = api.FirstNode(doc, -1); n != nullptr; n = api.NextNode(doc, -1)) {
      const int32_t tag = api.GetNodeTag(n);
      if (tag < -1 || tag >= 49) __builtin_trap();
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
  api.ResetDocument(doc);
  api.FreeDocument(doc);
  return 0;
}
