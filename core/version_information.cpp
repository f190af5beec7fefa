#include "core/version_information.h"

#include <new>

#include "platform/module.h"
#include "platform/version_info.h"

namespace tallow {

namespace {

// Buffer for a formatted key: 259 characters and the NUL.
constexpr std::size_t kKeyBufferUnits = 260;
// Module-path buffers: 260 characters, doubled up to 33280.
constexpr DWORD kFirstExePathBuffer = 260;
constexpr DWORD kMaxExePathBuffer = 65535;

void AppendNumber(WString& out, std::uint16_t value, char16_t conversion, bool zeroPad,
                  bool leftAlign, std::size_t width) {
  const char* digits = conversion == u'x' ? "0123456789abcdef" : "0123456789ABCDEF";
  const unsigned base = (conversion == u'x' || conversion == u'X') ? 16 : 10;
  char16_t tmp[8];
  std::size_t n = 0;
  unsigned v = value;
  do {
    tmp[n++] = static_cast<char16_t>(digits[v % base]);
    v /= base;
  } while (v != 0);
  const std::size_t pad = width > n ? width - n : 0;
  if (!leftAlign) out.append(pad, zeroPad ? u'0' : u' ');
  while (n > 0) out.push_back(tmp[--n]);
  if (leftAlign) out.append(pad, u' ');
}

// The key that |format| names with the two values: the subset of printf
// conversions that a key format uses (%X, %x, %u, %d with flags "0" and "-",
// a width, and "%%"). False for anything else, and for a key that would not
// fit the key buffer.
bool FormatKey(const char16_t* format, std::uint16_t first, std::uint16_t second, WString& key) {
  const std::uint16_t args[2] = {first, second};
  int used = 0;
  key.clear();
  for (const char16_t* p = format; *p; ++p) {
    if (*p != u'%') {
      key.push_back(*p);
    } else if (p[1] == u'%') {
      key.push_back(u'%');
      ++p;
    } else {
      ++p;
      bool zeroPad = false, leftAlign = false;
      for (; *p == u'0' || *p == u'-'; ++p) (*p == u'0' ? zeroPad : leftAlign) = true;
      std::size_t width = 0;
      for (; *p >= u'0' && *p <= u'9'; ++p) {
        width = width * 10 + static_cast<std::size_t>(*p - u'0');
        if (width >= kKeyBufferUnits) return false;
      }
      if (*p == u'h') ++p;
      if (*p != u'X' && *p != u'x' && *p != u'u' && *p != u'd') return false;
      if (used == 2) return false;
      AppendNumber(key, args[used++], *p, zeroPad && !leftAlign, leftAlign, width);
    }
    if (key.size() >= kKeyBufferUnits) return false;
  }
  return true;
}

}  // namespace

CVersionInformation::CVersionInformation() {
  WString path;
  GetExePath(path);
  if (path.empty()) return;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return;
  m_pVersionBlock.reset(new (std::nothrow) std::uint8_t[size]);
  if (!m_pVersionBlock) return;
  if (!GetFileVersionInfoW(path.c_str(), handle, size, m_pVersionBlock.get())) {
    m_pVersionBlock.reset();
    return;
  }
  void* value = nullptr;
  std::uint32_t length = 0;
  if (VerQueryValueW(m_pVersionBlock.get(), u"\\VarFileInfo\\Translation", &value, &length) &&
      length >= 4) {
    const auto* pair = static_cast<const std::uint8_t*>(value);
    m_wLanguage = static_cast<std::uint16_t>(pair[0] | (pair[1] << 8));
    m_wCodePage = static_cast<std::uint16_t>(pair[2] | (pair[3] << 8));
  }
}

CVersionInformation::~CVersionInformation() {
  m_pVersionBlock.reset();
  m_wLanguage = 0;
  m_wCodePage = 0;
}

const char16_t* CVersionInformation::QueryValue(const char16_t* format) const {
  if (!m_pVersionBlock || !format) return nullptr;
  WString key;
  key.reserve(kKeyBufferUnits);
  if (!FormatKey(format, m_wLanguage, m_wCodePage, key)) return nullptr;
  void* value = nullptr;
  std::uint32_t length = 0;
  if (!VerQueryValueW(m_pVersionBlock.get(), key.c_str(), &value, &length) || length == 0) {
    return nullptr;
  }
  return static_cast<const char16_t*>(value);
}

void GetExePath(WString& path) {
  path.clear();
  // A result that fills the buffer up to its last unit may have been cut:
  // ask again with twice the room.
  for (DWORD n = kFirstExePathBuffer; n <= kMaxExePathBuffer; n *= 2) {
    std::unique_ptr<char16_t[]> buffer(new (std::nothrow) char16_t[n]());
    if (!buffer) return;
    const DWORD length = GetModuleFileNameW(nullptr, buffer.get(), n);
    if (length < n - 1) {
      path.assign(buffer.get(), length);
      return;
    }
  }
}

}  // namespace tallow
