#include "kivor_support.h"

namespace kivor_test {

const char* const kTagTable[kTagCount + 1] = {
    "JOB",        "COMMAND",      "TYPE",        "PARAM",       "CODE",        "ATTRIBUTE",
    "FOLDERID",   "PASSWORD",     "FOLDERNAME",  "FILEID",      "FILENAME",    "TIMESTAMP",
    "PAGES",      "DOCUMENTID",   "USERID",      "STATUS",      "IMAGEPATH",   "SUBJECT",
    "USERHANDLE", "DOCUMENT",     "OWNER",       "DOCTYPE",     "SERVER",      "STRAGE",
    "XPIXEL",     "YPIXEL",       "XRESOLUTION", "YRESOLUTION", "PAGE",        "RESOLUTION",
    "DOCSIZE",    "SCALING",      "DENSITY",     "ERRORCODE",   "ERRORWORDING", "FILE",
    "FOLDER",     "DATASIZE",     "PAGENUMBER",  "ROOTNAME",    "USERNAME",    "USER",
    "PACKET",     "MODE",         "HPIXEL",      "HRESOLUTION", "SCAN",        "STORAGE",
    "IMAGEFORMAT", nullptr};

const XmlHttpApi& Api() {
  static const XmlHttpApi table = [] {
    XmlHttpApi t{};
    GetHTTPXML(&t, sizeof t);
    return t;
  }();
  return table;
}

std::vector<std::pair<int32_t, std::string>> Walk(XhDocument doc) {
  std::vector<std::pair<int32_t, std::string>> out;
  for (XhNode n = Api().FirstNode(doc, -1); n != nullptr; n = Api().NextNode(doc, -1)) {
    out.emplace_back(Api().GetNodeTag(n), Api().GetNodeText(n));
  }
  return out;
}

std::string PreparedRequest(XhDocument doc, const char* path) {
  if (Api().PrepareRequest(doc, 0, path, 0) == 0) return {};
  std::string bytes(Api().GetRequestSize(doc), '\0');
  uint32_t copied = 0;
  if (Api().CopyRequest(doc, bytes.data(), static_cast<uint32_t>(bytes.size()), &copied) == 0) {
    return {};
  }
  bytes.resize(copied);
  return bytes;
}

void BuildDocumentListing(XhDocument doc, const char* password, uint32_t folderId) {
  const XmlHttpApi& api = Api();
  api.ResetDocument(doc);
  api.SetParameter(doc, "version", "2");
  if (api.OpenElement(doc, kJob)) {
    api.AddTextElement(doc, kCommand, "LIST");
    api.AddTextElement(doc, kType, "STORAGE");
    if (api.OpenElement(doc, kParam)) {
      if (api.OpenElement(doc, kStorage)) {
        if (password != nullptr) api.AddTextElement(doc, kPassword, password);
        api.AddIdElement(doc, kFolderId, folderId, 8);
        api.CloseElement(doc);
      }
      api.CloseElement(doc);
    }
    api.CloseElement(doc);
  }
}

}  // namespace kivor_test
