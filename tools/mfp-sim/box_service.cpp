#include "box_service.h"

#include <pugixml.hpp>

#include <cstring>

namespace tallow::mfpsim {
namespace {

constexpr const char* kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

pugi::xml_node Child(pugi::xml_node parent, const char* name) {
  for (pugi::xml_node n : parent.children()) {
    if (n.type() == pugi::node_element && std::strcmp(n.name(), name) == 0) return n;
  }
  return {};
}

// Direct text of an element: character data and CDATA, in order.
std::string TextOf(pugi::xml_node node) {
  std::string text;
  for (pugi::xml_node n : node.children()) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
  }
  return text;
}

std::string Element(const char* name, std::string_view content) {
  std::string s = "<";
  s += name;
  s += '>';
  s += content;
  s += "</";
  s += name;
  s += '>';
  return s;
}

std::string Reply(const std::string& inner) {
  return kXmlHead + std::string("<JOB>") + Element("CODE", std::to_string(kCodeOk)) + inner +
         "</JOB>";
}

}  // namespace

const std::string* BoxRequest::Param(std::string_view name) const {
  for (const auto& [n, v] : params) {
    if (n == name) return &v;
  }
  return nullptr;
}

BoxRequest ParseBoxRequest(std::string_view xml) {
  BoxRequest r;
  if (xml.size() > kMaxRequestBytes) return r;
  pugi::xml_document doc;
  // Whitespace-only text is kept when it is an element's only content, so
  // that a password of blanks arrives as sent.
  unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single;
  if (!doc.load_buffer(xml.data(), xml.size(), options, pugi::encoding_utf8)) return r;
  pugi::xml_node job = doc.document_element();
  if (std::strcmp(job.name(), "JOB") != 0) return r;
  r.wellFormed = true;
  if (pugi::xml_node c = Child(job, "COMMAND")) r.command = TextOf(c);
  if (pugi::xml_node t = Child(job, "TYPE")) r.type = TextOf(t);
  pugi::xml_node storage = Child(Child(job, "PARAM"), "STORAGE");
  for (pugi::xml_node n : storage.children()) {
    if (n.type() == pugi::node_element) r.params.emplace_back(n.name(), TextOf(n));
  }
  return r;
}

FaultTarget TargetOf(const BoxRequest& r) {
  if (!r.wellFormed || !r.command) return FaultTarget::kScanbox;
  if (*r.command == "LIST") return r.Param("FOLDERID") ? FaultTarget::kListDocs : FaultTarget::kListBoxes;
  if (*r.command == "GETIMAGEINFO") return FaultTarget::kImageInfo;
  if (*r.command == "DELETE") return FaultTarget::kDelete;
  if (*r.command == "GETFILE") return FaultTarget::kGetFile;
  if (*r.command == "GETDATA") return FaultTarget::kGetData;
  return FaultTarget::kScanbox;
}

std::string LogLine(const QueryParams& query, const BoxRequest& r) {
  std::string line = "scanbox";
  for (const auto& [n, v] : query) line += " " + LogSafe(n) + "=" + LogSafe(v);
  if (!r.wellFormed) return line + " (unreadable)";
  line += " " + (r.command ? LogSafe(*r.command) : std::string("(no COMMAND)"));
  for (const auto& [n, v] : r.params) line += " " + LogSafe(n) + "=" + LogSafe(v);
  return line;
}

std::string CodeReply(int code) {
  return kXmlHead + std::string("<JOB>") + Element("CODE", std::to_string(code)) + "</JOB>";
}

BoxExchange BoxService::Read(const QueryParams& query, std::string_view body) const {
  BoxExchange ex;
  ex.request = ParseBoxRequest(body);
  std::optional<std::string> version = QueryValue(query, "version");
  ex.versionOk = version && *version == "2";
  ex.target = TargetOf(ex.request);
  ex.logLine = LogLine(query, ex.request);
  return ex;
}

void BoxService::Answer(BoxExchange& ex) {
  const BoxRequest& r = ex.request;
  // Only the request tree the client builds is understood: JOB with COMMAND
  // and TYPE "STORAGE", parameters in PARAM/STORAGE. Unknown elements are
  // passed over; a missing or unknown essential is a request we cannot read.
  if (!ex.versionOk || !r.wellFormed || !r.command || !r.type || *r.type != "STORAGE") {
    ex.reply = CodeReply(kCodeUnreadable);
    return;
  }
  switch (ex.target) {
    case FaultTarget::kListBoxes: ex.reply = ListBoxes(); break;
    case FaultTarget::kListDocs: ex.reply = ListDocs(r); break;
    case FaultTarget::kImageInfo: ex.reply = ImageInfo(r); break;
    case FaultTarget::kDelete: ex.reply = Delete(r); break;
    default: ex.reply = CodeReply(kCodeUnreadable); break;
  }
}

std::string BoxService::Handle(const QueryParams& query, std::string_view body) {
  BoxExchange ex = Read(query, body);
  Answer(ex);
  return std::move(ex.reply);
}

std::string BoxService::ListBoxes() const {
  std::string inner;
  if (std::optional<std::string> root = store_.RootName()) inner += Element("ROOTNAME", XmlEscape(*root));
  for (const Box& b : store_.Boxes()) {
    inner += "<FOLDER>" + Element("FOLDERID", FormatId(b.id)) +
             Element("FOLDERNAME", XmlEscape(b.name)) + Element("ATTRIBUTE", FormatId(b.attribute)) +
             "</FOLDER>";
  }
  return Reply(inner);
}

std::string BoxService::ListDocs(const BoxRequest& r) const {
  std::optional<std::uint32_t> boxId = ParseId(*r.Param("FOLDERID"));
  if (!boxId) return CodeReply(kCodeUnreadable);
  std::optional<std::string> password;
  if (const std::string* p = r.Param("PASSWORD")) password = *p;
  std::string boxName;
  std::vector<Doc> docs;
  switch (store_.Documents(*boxId, password, boxName, docs)) {
    case ListResult::kUnknownBox: return CodeReply(kCodeUnknownBox);
    case ListResult::kAuthFailed: return CodeReply(kCodeAuthFailed);
    case ListResult::kOk: break;
  }
  std::string inner;
  std::string folder = Element("FOLDERID", FormatId(*boxId)) + Element("FOLDERNAME", XmlEscape(boxName));
  for (const Doc& d : docs) {
    inner += "<FILE>" + Element("ATTRIBUTE", FormatId(d.attribute)) + folder +
             Element("FILEID", FormatId(d.id)) + Element("FILENAME", XmlEscape(d.name)) +
             Element("TIMESTAMP", XmlEscape(d.timestamp)) +
             Element("PAGES", std::to_string(d.pages)) +
             Element("IMAGEFORMAT", d.color ? "1" : "0") + "</FILE>";
  }
  return Reply(inner);
}

std::string BoxService::ImageInfo(const BoxRequest& r) const {
  const std::string* fileText = r.Param("FILEID");
  const std::string* pageText = r.Param("PAGE");
  if (!fileText || !pageText) return CodeReply(kCodeUnreadable);
  std::optional<std::uint32_t> fileId = ParseId(*fileText);
  std::optional<std::uint32_t> page = ParseId(*pageText);
  if (!fileId || !page) return CodeReply(kCodeUnreadable);
  std::optional<Doc> doc = store_.FindDoc(*fileId);
  if (!doc) return CodeReply(kCodeUnknownDoc);
  if (*page < 1 || *page > static_cast<std::uint32_t>(doc->pages)) return CodeReply(kCodePageOutside);
  std::string dpi = std::to_string(doc->dpi);
  return Reply(Element("XPIXEL", std::to_string(doc->width)) +
               Element("YPIXEL", std::to_string(doc->height)) + Element("XRESOLUTION", dpi) +
               Element("YRESOLUTION", dpi));
}

std::string BoxService::Delete(const BoxRequest& r) {
  const std::string* fileText = r.Param("FILEID");
  if (!fileText) return CodeReply(kCodeUnreadable);
  std::optional<std::uint32_t> fileId = ParseId(*fileText);
  if (!fileId) return CodeReply(kCodeUnreadable);
  if (!store_.Delete(*fileId)) return CodeReply(kCodeUnknownDoc);
  return Reply("");
}

}  // namespace tallow::mfpsim
