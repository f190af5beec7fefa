#include "platform/version_info.h"

#include <cstring>
#include <cwctype>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>

#include "platform/path.h"

namespace tallow {

namespace {

constexpr std::uint16_t kTypeBinary = 0;
constexpr std::uint16_t kTypeText = 1;
constexpr std::size_t kNodeHeaderSize = 6;
constexpr std::size_t kMaxNodeLength = 0xFFFF;

// ---- Building ----

struct Node {
  WString key;
  std::uint16_t type = kTypeText;
  std::vector<std::uint8_t> value;
  std::uint16_t valueLength = 0;
  std::vector<Node> children;
};

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutU16(out, static_cast<std::uint16_t>(v & 0xFFFF));
  PutU16(out, static_cast<std::uint16_t>(v >> 16));
}
void PutText(std::vector<std::uint8_t>& out, WStringView text) {
  for (char16_t c : text) PutU16(out, c);
  PutU16(out, 0);
}
void Align(std::vector<std::uint8_t>& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

// Nodes start 32-bit aligned, so alignment within a node is alignment within
// the block.
bool Serialize(const Node& node, std::vector<std::uint8_t>& out) {
  const std::size_t start = out.size();
  PutU16(out, 0);  // length, patched below
  PutU16(out, node.valueLength);
  PutU16(out, node.type);
  PutText(out, node.key);
  Align(out);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const Node& child : node.children) {
    Align(out);
    if (!Serialize(child, out)) return false;
  }
  const std::size_t length = out.size() - start;
  if (length > kMaxNodeLength) return false;
  out[start] = static_cast<std::uint8_t>(length & 0xFF);
  out[start + 1] = static_cast<std::uint8_t>(length >> 8);
  return true;
}

Node TextNode(WStringView key, WStringView value) {
  Node node;
  node.key = WString(key);
  node.type = kTypeText;
  std::vector<std::uint8_t> bytes;
  PutText(bytes, value);
  node.value = std::move(bytes);
  node.valueLength = static_cast<std::uint16_t>(value.size() + 1);
  return node;
}

std::uint32_t HighLow(std::uint16_t high, std::uint16_t low) {
  return (static_cast<std::uint32_t>(high) << 16) | low;
}

// ---- Reading ----

struct View {
  const std::uint8_t* base;
  std::size_t offset;  // of the node, from base
  std::size_t length;
  std::uint16_t valueLength;
  std::uint16_t type;
  WString key;
  std::size_t valueOffset;
  std::size_t valueBytes;
  std::size_t childrenOffset;
};

std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::size_t AlignUp(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// The node at |offset|, which must lie within [offset, limit).
std::optional<View> ReadNode(const std::uint8_t* base, std::size_t offset, std::size_t limit) {
  if (offset % 4 != 0 || offset + kNodeHeaderSize > limit) return std::nullopt;
  View v{};
  v.base = base;
  v.offset = offset;
  v.length = GetU16(base + offset);
  v.valueLength = GetU16(base + offset + 2);
  v.type = GetU16(base + offset + 4);
  if (v.length < kNodeHeaderSize + 2 || offset + v.length > limit) return std::nullopt;
  const std::size_t end = offset + v.length;
  std::size_t p = offset + kNodeHeaderSize;
  for (;;) {
    if (p + 2 > end) return std::nullopt;  // key without its NUL
    char16_t c = GetU16(base + p);
    p += 2;
    if (c == 0) break;
    v.key.push_back(c);
  }
  v.valueOffset = AlignUp(p);
  v.valueBytes = v.type == kTypeText ? std::size_t{v.valueLength} * 2 : v.valueLength;
  if (v.valueOffset + v.valueBytes > end) {
    // Only an empty value may end without room for its padding.
    if (v.valueBytes != 0) return std::nullopt;
    v.valueOffset = end;
  }
  v.childrenOffset = AlignUp(v.valueOffset + v.valueBytes);
  return v;
}

bool SameKey(WStringView a, WStringView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

std::optional<View> FindChild(const View& parent, WStringView key) {
  const std::size_t end = parent.offset + parent.length;
  std::size_t p = parent.childrenOffset;
  while (p + kNodeHeaderSize <= end) {
    std::optional<View> child = ReadNode(parent.base, p, end);
    if (!child) return std::nullopt;
    if (SameKey(child->key, key)) return child;
    p = AlignUp(p + child->length);
  }
  return std::nullopt;
}

// ---- The program's block ----

std::mutex g_mutex;
std::vector<std::uint8_t> g_programBlock;

std::vector<std::uint8_t> ProgramBlock() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_programBlock;
}

bool IsProgramFile(const char16_t* path) {
  WString program = ProgramFilePath();
  if (program.empty()) return false;
  if (program == path) return true;
  std::error_code ec;
  return std::filesystem::equivalent(NativePath(path), NativePath(program), ec) && !ec;
}

// The block of |path|, or none with the last error set.
std::optional<std::vector<std::uint8_t>> BlockOf(const char16_t* path) {
  if (!path || !*path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  if (IsProgramFile(path)) {
    std::vector<std::uint8_t> block = ProgramBlock();
    if (!block.empty()) return block;
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return std::nullopt;
  }
  std::error_code ec;
  bool exists = std::filesystem::exists(NativePath(path), ec);
  SetLastError(exists ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_FILE_NOT_FOUND);
  return std::nullopt;
}

}  // namespace

std::vector<std::uint8_t> BuildVersionBlock(const VersionBlockContents& contents) {
  Node root;
  root.key = u"VS_VERSION_INFO";
  root.type = kTypeBinary;
  const std::uint16_t* f = contents.fileVersion;
  const std::uint16_t* pv = contents.productVersion;
  std::vector<std::uint8_t> fixed;
  PutU32(fixed, 0xFEEF04BDu);                   // signature
  PutU32(fixed, 0x00010000u);                   // structure version
  PutU32(fixed, HighLow(f[0], f[1]));
  PutU32(fixed, HighLow(f[2], f[3]));
  PutU32(fixed, HighLow(pv[0], pv[1]));
  PutU32(fixed, HighLow(pv[2], pv[3]));
  PutU32(fixed, 0x3Fu);                          // flags mask
  PutU32(fixed, 0);                              // flags
  PutU32(fixed, 0x00040004u);                    // operating system class
  PutU32(fixed, 1);                              // file type: application
  PutU32(fixed, 0);                              // subtype
  PutU32(fixed, 0);                              // date, high
  PutU32(fixed, 0);                              // date, low
  root.valueLength = static_cast<std::uint16_t>(fixed.size());
  root.value = std::move(fixed);

  if (!contents.stringTables.empty()) {
    Node info;
    info.key = u"StringFileInfo";
    for (const VersionStringTable& table : contents.stringTables) {
      for (const VersionString& s : table.strings) {
        if (s.value.size() + 1 > kMaxNodeLength / 2) return {};
      }
      Node t;
      t.key = table.name;
      for (const VersionString& s : table.strings) t.children.push_back(TextNode(s.name, s.value));
      info.children.push_back(std::move(t));
    }
    root.children.push_back(std::move(info));
  }
  if (!contents.translations.empty()) {
    Node var;
    var.key = u"Translation";
    var.type = kTypeBinary;
    for (const VersionTranslation& t : contents.translations) {
      PutU16(var.value, t.language);
      PutU16(var.value, t.codePage);
    }
    if (var.value.size() > kMaxNodeLength) return {};
    var.valueLength = static_cast<std::uint16_t>(var.value.size());
    Node info;
    info.key = u"VarFileInfo";
    info.children.push_back(std::move(var));
    root.children.push_back(std::move(info));
  }
  std::vector<std::uint8_t> out;
  if (!Serialize(root, out)) return {};
  return out;
}

DWORD GetFileVersionInfoSizeW(const char16_t* path, DWORD* handle) {
  if (handle) *handle = 0;
  std::optional<std::vector<std::uint8_t>> block = BlockOf(path);
  if (!block) return 0;
  return static_cast<DWORD>(block->size());
}

BOOL GetFileVersionInfoW(const char16_t* path, DWORD /*handle*/, DWORD size, void* data) {
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::optional<std::vector<std::uint8_t>> block = BlockOf(path);
  if (!block) return FALSE;
  if (size < block->size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(data, block->data(), block->size());
  return TRUE;
}

BOOL VerQueryValueW(const void* block, const char16_t* subBlock, void** value,
                    std::uint32_t* length) {
  if (value) *value = nullptr;
  if (length) *length = 0;
  if (!block || !subBlock || !value || !length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto* base = static_cast<const std::uint8_t*>(block);
  // The root's own length is the block's extent.
  std::optional<View> node = ReadNode(base, 0, GetU16(base));
  if (!node) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  WStringView rest(subBlock);
  while (!rest.empty()) {
    const std::size_t sep = rest.find_first_of(u"\\/");
    WStringView name = rest.substr(0, sep);
    rest = sep == WStringView::npos ? WStringView() : rest.substr(sep + 1);
    if (name.empty()) continue;
    node = FindChild(*node, name);
    if (!node) {
      SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
      return FALSE;
    }
  }
  if (node->type == kTypeText && node->valueBytes != 0 &&
      GetU16(base + node->valueOffset + node->valueBytes - 2) != 0) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  *value = const_cast<std::uint8_t*>(base + node->valueOffset);
  *length = node->valueLength;
  return TRUE;
}

void RegisterProgramVersionBlock(std::vector<std::uint8_t> block) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_programBlock = std::move(block);
}

}  // namespace tallow
