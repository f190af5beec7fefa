// The C entry points of the function table. None lets an exception or a null
// handle through: the caller is C and trusts the results only.
#include <charconv>
#include <cstring>

#include "connection.h"
#include "document.h"
#include "kivor.h"

namespace kivor {
namespace {

template <typename R, typename F>
R Guard(R onFailure, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onFailure;
  }
}

Document* Doc(XhDocument handle) { return static_cast<Document*>(handle); }

bool IsTag(const Document& d, int32_t tag) {
  return tag >= 0 && static_cast<std::size_t>(tag) < d.tags.size();
}

// Tab and line feed survive a round trip through XML text; other control
// characters do not, and would turn the request into something else.
bool IsSendableText(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 && c != '\t' && c != '\n') return false;
  }
  return true;
}

pugi::xml_node Parent(Document& d) {
  return d.openElements.empty() ? pugi::xml_node(d.request) : d.openElements.back();
}

int32_t AddChildWithText(Document& d, int32_t tag, const char* text) {
  if (!IsTag(d, tag)) return 0;
  pugi::xml_node element = Parent(d).append_child(d.tags[static_cast<std::size_t>(tag)].c_str());
  if (!element) return 0;
  d.ClearPrepared();
  if (!element.append_child(pugi::node_pcdata).set_value(text)) {
    element.parent().remove_child(element);
    return 0;
  }
  return 1;
}

XhDocument CreateDocument(const char* const* tagTable) {
  return Guard<XhDocument>(nullptr, [&] { return static_cast<XhDocument>(NewDocument(tagTable)); });
}

void FreeDocument(XhDocument doc) { delete Doc(doc); }

void ResetDocument(XhDocument handle) {
  Document* d = Doc(handle);
  if (d == nullptr) return;
  d->request.reset();
  d->openElements.clear();
  d->parameters.clear();
  d->packetCode = 0;
  d->ClearPrepared();
  d->ClearReply();
}

uint32_t GetRequestSize(XhDocument handle) {
  Document* d = Doc(handle);
  if (d == nullptr || !d->isPrepared) return 0;
  return static_cast<uint32_t>(d->prepared.size());
}

int32_t PrepareRequest(XhDocument handle, int32_t, const char* path, int32_t) {
  Document* d = Doc(handle);
  if (d == nullptr || !IsValidRequestPath(path)) return 0;
  return Guard<int32_t>(0, [&]() -> int32_t {
    d->ClearPrepared();
    const std::string body = RequestBody(*d);
    const std::string query = RequestQuery(*d);
    char length[24];
    auto [end, ec] = std::to_chars(length, length + sizeof length, body.size());
    (void)ec;
    std::string out = "POST ";
    out += path;
    if (!query.empty()) {
      out += '?';
      out += query;
    }
    // No connection is known here, so the Host header names the local end.
    out += " HTTP/1.1\r\nHost: localhost\r\nContent-Type: text/xml; charset=UTF-8\r\n"
           "Content-Length: ";
    out.append(length, end);
    out += "\r\n\r\n";
    out += body;
    if (out.size() > kMaxRequestBytes) return 0;
    d->prepared = std::move(out);
    d->isPrepared = true;
    return 1;
  });
}

int32_t CopyRequest(XhDocument handle, void* buffer, uint32_t size, uint32_t* copied) {
  Document* d = Doc(handle);
  if (d == nullptr || buffer == nullptr || !d->isPrepared || d->prepared.size() > size) {
    return 0;
  }
  std::memcpy(buffer, d->prepared.data(), d->prepared.size());
  if (copied != nullptr) *copied = static_cast<uint32_t>(d->prepared.size());
  return 1;
}

int32_t ParseReply(XhDocument handle, const void* bytes, uint32_t length) {
  Document* d = Doc(handle);
  if (d == nullptr) return 0;
  const int32_t ok = Guard<int32_t>(0, [&] { return ParseReplyInto(*d, bytes, length) ? 1 : 0; });
  if (ok == 0) d->ClearReply();  // also after running out of memory half-way
  return ok;
}

int32_t SetParameter(XhDocument handle, const char* name, const char* value) {
  Document* d = Doc(handle);
  if (d == nullptr || name == nullptr || *name == '\0' || value == nullptr) return 0;
  return Guard<int32_t>(0, [&]() -> int32_t {
    d->ClearPrepared();
    for (auto& parameter : d->parameters) {
      if (parameter.first == name) {
        parameter.second = value;
        return 1;
      }
    }
    d->parameters.emplace_back(name, value);
    return 1;
  });
}

int32_t OpenElement(XhDocument handle, int32_t tag) {
  Document* d = Doc(handle);
  if (d == nullptr || !IsTag(*d, tag) || d->openElements.size() >= kMaxOpenDepth) return 0;
  return Guard<int32_t>(0, [&]() -> int32_t {
    d->openElements.reserve(kMaxOpenDepth);
    pugi::xml_node element =
        Parent(*d).append_child(d->tags[static_cast<std::size_t>(tag)].c_str());
    if (!element) return 0;
    d->ClearPrepared();
    d->openElements.push_back(element);
    return 1;
  });
}

int32_t CloseElement(XhDocument handle) {
  Document* d = Doc(handle);
  if (d == nullptr || d->openElements.empty()) return 0;
  d->openElements.pop_back();
  return 1;
}

int32_t AddTextElement(XhDocument handle, int32_t tag, const char* text) {
  Document* d = Doc(handle);
  if (d == nullptr || text == nullptr || !IsSendableText(text)) return 0;
  return Guard<int32_t>(0, [&] { return AddChildWithText(*d, tag, text); });
}

int32_t AddNumberElement(XhDocument handle, int32_t tag, int32_t value) {
  Document* d = Doc(handle);
  if (d == nullptr) return 0;
  char digits[16];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits - 1, value);
  (void)ec;
  *end = '\0';
  return Guard<int32_t>(0, [&] { return AddChildWithText(*d, tag, digits); });
}

int32_t AddIdElement(XhDocument handle, int32_t tag, uint32_t value, int32_t width) {
  Document* d = Doc(handle);
  if (d == nullptr) return 0;
  return Guard<int32_t>(0, [&] { return AddChildWithText(*d, tag, IdForm(value, width).c_str()); });
}

XhNode FirstNode(XhDocument handle, int32_t scope) {
  Document* d = Doc(handle);
  if (d == nullptr || scope != -1) return nullptr;
  d->cursor = 0;
  if (d->nodes.empty()) return nullptr;
  d->cursor = 1;
  return &d->nodes[0];
}

XhNode NextNode(XhDocument handle, int32_t scope) {
  Document* d = Doc(handle);
  if (d == nullptr || scope != -1 || d->cursor >= d->nodes.size()) return nullptr;
  return &d->nodes[d->cursor++];
}

ReplyNode* Node(XhNode handle) { return static_cast<ReplyNode*>(handle); }

int32_t GetNodeTag(XhNode handle) {
  ReplyNode* n = Node(handle);
  return n == nullptr ? -1 : n->tag;
}

const char* GetNodeText(XhNode handle) {
  ReplyNode* n = Node(handle);
  if (n == nullptr) return "";
  return Guard<const char*>("", [&] { return NodeText(*n); });
}

int32_t GetNodeNumber(XhNode handle, int32_t* value) {
  ReplyNode* n = Node(handle);
  if (n == nullptr || value == nullptr) return 0;
  int32_t parsed = 0;
  if (!ParseNumberForm(GetNodeText(handle), parsed)) return 0;
  *value = parsed;
  return 1;
}

int32_t GetNodeId(XhNode handle, uint32_t* value) {
  ReplyNode* n = Node(handle);
  if (n == nullptr || value == nullptr) return 0;
  uint32_t parsed = 0;
  if (!ParseIdForm(GetNodeText(handle), parsed)) return 0;
  *value = parsed;
  return 1;
}

void SetPacketCode(XhDocument handle, uint32_t code) {
  if (Document* d = Doc(handle)) d->packetCode = code;
}

uint32_t GetPacketCode(XhDocument handle) {
  Document* d = Doc(handle);
  return d == nullptr ? 0 : d->packetCode;
}

Connection* Conn(XhConnection handle) { return static_cast<Connection*>(handle); }

XhConnection OpenConnection(const char* host) {
  return Guard<XhConnection>(nullptr,
                             [&] { return static_cast<XhConnection>(NewConnection(host)); });
}

void CloseConnection(XhConnection handle) { DeleteConnection(Conn(handle)); }

int32_t HttpGetToFile(XhConnection conn, uint16_t port, const char* path, XhDocument doc,
                      const char* localFile, int32_t) {
  if (conn == nullptr || doc == nullptr) return 0;
  return Guard<int32_t>(0, [&]() -> int32_t {
    return GetToFile(*Conn(conn), port, path, *Doc(doc), localFile) ? 1 : 0;
  });
}

int32_t HttpPost(XhConnection conn, uint16_t port, const char* path, XhDocument doc) {
  if (conn == nullptr || doc == nullptr) return 0;
  const int32_t ok =
      Guard<int32_t>(0, [&] { return Post(*Conn(conn), port, path, *Doc(doc)) ? 1 : 0; });
  if (ok == 0) Doc(doc)->ClearReply();
  return ok;
}

intptr_t Reserved() { return 0; }

}  // namespace
}  // namespace kivor

extern "C" int32_t GetHTTPXML(XmlHttpApi* table, uint32_t size) {
  using namespace kivor;
  if (table == nullptr || size < sizeof(XmlHttpApi)) return 0;
  // Documents serve the USB channel even without HTTP, so a libcurl that
  // cannot start only makes OpenConnection fail.
  (void)EnsureCurl();
  XmlHttpApi t;
  t.CreateDocument = CreateDocument;
  t.FreeDocument = FreeDocument;
  t.ResetDocument = ResetDocument;
  t.reserved3 = Reserved;
  t.GetRequestSize = GetRequestSize;
  t.reserved5 = Reserved;
  t.reserved6 = Reserved;
  t.PrepareRequest = PrepareRequest;
  t.reserved8 = Reserved;
  t.CopyRequest = CopyRequest;
  t.ParseReply = ParseReply;
  t.reserved11 = Reserved;
  t.reserved12 = Reserved;
  t.SetParameter = SetParameter;
  t.OpenElement = OpenElement;
  t.CloseElement = CloseElement;
  t.AddTextElement = AddTextElement;
  t.AddNumberElement = AddNumberElement;
  t.AddIdElement = AddIdElement;
  t.FirstNode = FirstNode;
  t.NextNode = NextNode;
  t.reserved21 = Reserved;
  t.reserved22 = Reserved;
  t.reserved23 = Reserved;
  t.GetNodeTag = GetNodeTag;
  t.reserved25 = Reserved;
  t.GetNodeText = GetNodeText;
  t.GetNodeNumber = GetNodeNumber;
  t.GetNodeId = GetNodeId;
  t.reserved29 = Reserved;
  t.reserved30 = Reserved;
  t.reserved31 = Reserved;
  t.SetPacketCode = SetPacketCode;
  t.GetPacketCode = GetPacketCode;
  t.reserved34 = Reserved;
  t.OpenConnection = OpenConnection;
  t.CloseConnection = CloseConnection;
  t.reserved37 = Reserved;
  t.reserved38 = Reserved;
  t.HttpGetToFile = HttpGetToFile;
  t.HttpPost = HttpPost;
  for (auto& slot : t.reserved41) slot = Reserved;
  *table = t;
  return 1;
}
