// The document behind an XhDocument handle: request tree, parameters, packet
// code, prepared request bytes and the parsed reply with its node cursor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <pugixml.hpp>

namespace kivor {

inline constexpr std::size_t kMaxTags = 256;
inline constexpr std::size_t kMaxTagNameLength = 255;
inline constexpr std::size_t kMaxOpenDepth = 64;
inline constexpr std::size_t kMaxReplyBytes = std::size_t{4} << 20;
inline constexpr int kMaxReplyDepth = 64;
inline constexpr std::size_t kMaxReplyElements = 100000;
// Requests are a few hundred bytes; this only keeps a runaway caller from
// building something that no longer fits the 32-bit size of the interface.
inline constexpr std::size_t kMaxRequestBytes = std::size_t{16} << 20;

// One element of the parsed reply, as handed out through XhNode.
struct ReplyNode {
  pugi::xml_node element;
  int32_t tag = -1;
  const char* text = nullptr;  // computed on first GetNodeText
  std::string joinedText;      // storage when the text has several pieces
};

struct Document {
  std::vector<std::string> tags;
  std::unordered_map<std::string_view, int32_t> tagIndex;  // views into tags

  pugi::xml_document request;
  std::vector<pugi::xml_node> openElements;
  std::vector<std::pair<std::string, std::string>> parameters;
  uint32_t packetCode = 0;
  std::string prepared;
  bool isPrepared = false;

  pugi::xml_document reply;
  std::vector<ReplyNode> nodes;
  std::size_t cursor = 0;

  void ClearReply();
  void ClearPrepared();
};

// Returns null when the table is missing, unterminated within kMaxTags
// entries, or holds a name that cannot be an XML element name.
Document* NewDocument(const char* const* tagTable);

// The XML body of a request: declaration and the tree without indentation.
std::string RequestBody(const Document& doc);
// The parameters as a query string ("a=1&b=2"), each part percent-encoded.
std::string RequestQuery(const Document& doc);
std::string PercentEncode(std::string_view text);

// A path that may go into a request line as it is.
bool IsValidRequestPath(const char* path);

// Replaces the document's reply with |bytes| when they are a well-formed XML
// document within the size, depth and element caps; otherwise the reply is
// left empty. Returns whether the reply was taken.
bool ParseReplyInto(Document& doc, const void* bytes, std::size_t length);

bool ParseNumberForm(std::string_view text, int32_t& value);
bool ParseIdForm(std::string_view text, uint32_t& value);
std::string IdForm(uint32_t value, int32_t width);

const char* NodeText(ReplyNode& node);

}  // namespace kivor
