#include "document.h"

#include <charconv>
#include <cstring>
#include <memory>

namespace kivor {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// ASCII letters, digits, '_', '-', '.', ':' and any UTF-8 byte; no leading
// digit, '-' or '.'. Tag names are written into requests verbatim.
bool IsXmlName(std::string_view name) {
  if (name.empty()) return false;
  auto isStart = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
           c >= 0x80;
  };
  if (!isStart(static_cast<unsigned char>(name.front()))) return false;
  for (unsigned char c : name) {
    if (!isStart(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.') return false;
  }
  return true;
}

struct StringWriter final : pugi::xml_writer {
  std::string* out;
  explicit StringWriter(std::string* o) : out(o) {}
  void write(const void* data, size_t size) override {
    out->append(static_cast<const char*>(data), size);
  }
};

pugi::xml_node FirstElementChild(pugi::xml_node n) {
  for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element) return c;
  }
  return {};
}

pugi::xml_node NextElementSibling(pugi::xml_node n) {
  for (pugi::xml_node c = n.next_sibling(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element) return c;
  }
  return {};
}

}  // namespace

void Document::ClearReply() {
  nodes.clear();
  nodes.shrink_to_fit();
  cursor = 0;
  reply.reset();
}

void Document::ClearPrepared() {
  prepared.clear();
  isPrepared = false;
}

Document* NewDocument(const char* const* tagTable) {
  if (tagTable == nullptr) return nullptr;
  auto doc = std::make_unique<Document>();
  std::size_t i = 0;
  for (; i < kMaxTags && tagTable[i] != nullptr; ++i) {
    const std::size_t len = strnlen(tagTable[i], kMaxTagNameLength + 1);
    if (len > kMaxTagNameLength) return nullptr;
    std::string_view name(tagTable[i], len);
    if (!IsXmlName(name)) return nullptr;
    doc->tags.emplace_back(name);
  }
  if (i == kMaxTags && tagTable[i] != nullptr) return nullptr;
  // The map keeps views into the strings, so it is built only once the vector
  // no longer moves them. The first of two equal names wins.
  for (std::size_t t = 0; t < doc->tags.size(); ++t) {
    doc->tagIndex.emplace(doc->tags[t], static_cast<int32_t>(t));
  }
  return doc.release();
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                            c == '~';
    if (unreserved) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0x0F]);
    }
  }
  return out;
}

std::string RequestQuery(const Document& doc) {
  std::string query;
  for (const auto& [name, value] : doc.parameters) {
    if (!query.empty()) query.push_back('&');
    query += PercentEncode(name);
    query.push_back('=');
    query += PercentEncode(value);
  }
  return query;
}

std::string RequestBody(const Document& doc) {
  // The line break after the declaration matches the request as the box
  // service documents it; the tree itself is written without any.
  std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  StringWriter writer(&body);
  doc.request.save(writer, "", pugi::format_raw | pugi::format_no_declaration,
                   pugi::encoding_utf8);
  return body;
}

bool IsValidRequestPath(const char* path) {
  if (path == nullptr || path[0] != '/') return false;
  for (const char* p = path; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c <= 0x20 || c >= 0x7F || c == '?' || c == '#') return false;
  }
  return true;
}

bool ParseReplyInto(Document& doc, const void* bytes, std::size_t length) {
  doc.ClearReply();
  if (bytes == nullptr || length == 0 || length > kMaxReplyBytes) return false;

  // parse_default keeps predefined entities and character references only;
  // a DOCTYPE is checked and dropped and its entities are never expanded.
  const pugi::xml_parse_result result =
      doc.reply.load_buffer(bytes, length, pugi::parse_default, pugi::encoding_auto);
  if (!result) {
    doc.reply.reset();
    return false;
  }

  pugi::xml_node root = FirstElementChild(doc.reply);
  if (!root || NextElementSibling(root)) {  // exactly one document element
    doc.reply.reset();
    return false;
  }

  // Walk without recursion: a hostile reply may nest as deep as the parser
  // allowed, and the caps are checked before anything is handed out.
  std::vector<pugi::xml_node> order;
  pugi::xml_node n = root;
  int depth = 1;
  bool ok = true;
  while (true) {
    if (depth > kMaxReplyDepth || order.size() >= kMaxReplyElements) {
      ok = false;
      break;
    }
    order.push_back(n);
    if (pugi::xml_node child = FirstElementChild(n)) {
      n = child;
      ++depth;
      continue;
    }
    pugi::xml_node next;
    while (n != root && !(next = NextElementSibling(n))) {
      n = n.parent();
      --depth;
    }
    if (n == root) break;
    n = next;
  }
  if (!ok) {
    doc.reply.reset();
    return false;
  }

  doc.nodes.resize(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    ReplyNode& rn = doc.nodes[i];
    rn.element = order[i];
    auto it = doc.tagIndex.find(std::string_view(order[i].name()));
    rn.tag = it == doc.tagIndex.end() ? -1 : it->second;
  }
  doc.cursor = 0;
  return true;
}

const char* NodeText(ReplyNode& node) {
  if (node.text != nullptr) return node.text;
  const char* single = nullptr;
  int pieces = 0;
  for (pugi::xml_node c = node.element.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_pcdata && c.type() != pugi::node_cdata) continue;
    if (pieces++ == 0) {
      single = c.value();
    } else {
      if (pieces == 2) node.joinedText = single;
      node.joinedText += c.value();
    }
  }
  if (pieces == 0) {
    node.text = "";
  } else if (pieces == 1) {
    node.text = single;  // lives in the reply tree as long as the node does
  } else {
    node.text = node.joinedText.c_str();
  }
  return node.text;
}

bool ParseNumberForm(std::string_view text, int32_t& value) {
  std::string_view s = TrimBlanks(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 10) return false;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool ParseIdForm(std::string_view text, uint32_t& value) {
  std::string_view s = TrimBlanks(text);
  if (s.empty() || s.size() > 8) return false;
  uint32_t v = 0;
  for (char c : s) {
    uint32_t d;
    if (c >= '0' && c <= '9') {
      d = static_cast<uint32_t>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<uint32_t>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<uint32_t>(c - 'a' + 10);
    } else {
      return false;
    }
    v = (v << 4) | d;
  }
  value = v;
  return true;
}

std::string IdForm(uint32_t value, int32_t width) {
  if (width < 1) width = 1;
  if (width > 8) width = 8;
  char digits[8];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value, 16);
  (void)ec;  // eight hexadecimal digits always fit
  std::string out;
  const auto n = static_cast<int32_t>(end - digits);
  if (n < width) out.assign(static_cast<std::size_t>(width - n), '0');
  for (const char* p = digits; p != end; ++p) {
    out.push_back(*p >= 'a' ? static_cast<char>(*p - 'a' + 'A') : *p);
  }
  return out;
}

}  // namespace kivor
