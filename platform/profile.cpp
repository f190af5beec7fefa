#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwctype>
#include <mutex>
#include <optional>

#include "platform/path.h"

namespace tallow {

namespace {

// Every profile access of the process goes through one lock, so that two
// writes cannot interleave their read-modify-write.
std::mutex g_profileMutex;

bool IsBlank(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A; }

WStringView Trim(WStringView s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(WStringView a, WStringView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

bool HasLineBreak(WStringView s) { return s.find_first_of(u"\r\n") != WStringView::npos; }

bool IsQuoted(WStringView value) {
  const std::size_t n = value.size();
  return n >= 2 && (value[0] == u'"' || value[0] == u'\'') && value[n - 1] == value[0];
}

WString StripQuotes(WStringView value) {
  if (IsQuoted(value)) value = value.substr(1, value.size() - 2);
  return WString(value);
}

// ---- Files ----

enum class ReadResult { kRead, kMissing, kFailed };

// Reads a plain file of at most kMaxProfileFileSize bytes; the last error says
// why it failed.
ReadResult ReadProfileFile(const std::string& path, std::string& bytes, struct stat* info) {
  // Non-blocking, so that a pipe put in the file's place cannot hang us.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return ReadResult::kMissing;
    }
    SetLastError(Win32ErrorFromErrno(errno));
    return ReadResult::kFailed;
  }
  struct stat st;
  ReadResult result = ReadResult::kFailed;
  if (::fstat(fd, &st) != 0) {
    SetLastError(Win32ErrorFromErrno(errno));
  } else if (!S_ISREG(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
  } else if (static_cast<std::uint64_t>(st.st_size) > kMaxProfileFileSize) {
    SetLastError(ERROR_FILE_TOO_LARGE);
  } else {
    bytes.clear();
    char chunk[16384];
    result = ReadResult::kRead;
    for (;;) {
      ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        result = ReadResult::kFailed;
        break;
      }
      if (n == 0) break;
      bytes.append(chunk, static_cast<std::size_t>(n));
      // The file may grow after fstat.
      if (bytes.size() > kMaxProfileFileSize) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        result = ReadResult::kFailed;
        break;
      }
    }
    if (info) *info = st;
  }
  ::close(fd);
  return result;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Replaces |path| by a file holding |bytes|: a new file in the same folder,
// renamed over the old one, so that the old file stays whole until the new
// one is. |old| is the replaced file's status, for its mode and owner.
bool ReplaceFile(const std::string& path, const std::string& bytes, const struct stat* old) {
  const std::size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = folder + "/." + name + ".XXXXXX";
  // Created 0600: the settings hold the remembered password.
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
    return false;
  }
  if (old) {
    // A rewrite keeps the file's own permissions and, where allowed, owner.
    (void)::fchown(fd, old->st_uid, old->st_gid);
    (void)::fchmod(fd, old->st_mode & 07777);
  }
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    SetLastError(err == ENOSPC || err == EIO || err == 0 ? ERROR_WRITE_FAULT : Win32ErrorFromErrno(err));
    return false;
  }
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return true;
}

// A symbolic link stays a link: its target is rewritten.
std::string ResolveTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      std::string resolved(real);
      std::free(real);
      return resolved;
    }
  }
  return path;
}

// The value of |key|, when the file holds it (quotes removed).
std::optional<WString> ReadValue(const char16_t* section, const char16_t* key, const char16_t* path) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  std::string bytes;
  if (ReadProfileFile(NativePath(path), bytes, nullptr) != ReadResult::kRead) return std::nullopt;
  ProfileDocument doc = ProfileDocument::Parse(bytes);
  WString value;
  if (!doc.Find(section, key, value)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  SetLastError(ERROR_SUCCESS);
  return StripQuotes(value);
}

}  // namespace

// ---- The document ----

namespace {

// Where the line that starts at |start| ends: at a CR, an LF or the end.
template <typename Char>
std::size_t LineEnd(std::basic_string_view<Char> s, std::size_t start) {
  while (start < s.size() && s[start] != Char('\r') && s[start] != Char('\n')) ++start;
  return start;
}

// Where the next line starts after the break at |end|; CR LF is one break.
template <typename Char>
std::size_t NextLine(std::basic_string_view<Char> s, std::size_t end) {
  return end + 1 < s.size() && s[end] == Char('\r') && s[end + 1] == Char('\n') ? end + 2 : end + 1;
}

}  // namespace

ProfileDocument::Line ProfileDocument::Classify(Span raw, Span text) const {
  Line line;
  line.raw = raw;
  line.text = text;
  if (text.size > kMaxProfileLineLength) return line;  // kept, never matched
  const WStringView t = Trim(View(text));
  auto span = [this](WStringView part) {
    return Span{static_cast<std::size_t>(part.data() - text_.data()), part.size()};
  };
  if (t.empty()) {
    line.kind = Kind::kBlank;
  } else if (t.front() == u'[' && t.rfind(u']') != WStringView::npos) {
    line.kind = Kind::kSection;
    line.name = span(Trim(t.substr(1, t.rfind(u']') - 1)));
  } else if (t.front() == u';') {
    line.kind = Kind::kOther;
  } else if (std::size_t eq = t.find(u'='); eq != WStringView::npos) {
    line.kind = Kind::kKey;
    line.name = span(Trim(t.substr(0, eq)));
    line.value = span(Trim(t.substr(eq + 1)));
  }
  return line;
}

ProfileDocument ProfileDocument::Parse(std::string_view bytes) {
  ProfileDocument doc;
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    doc.encoding_ = Encoding::kUtf8Bom;
    bytes.remove_prefix(3);
  } else if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    doc.encoding_ = Encoding::kUtf16Le;
    bytes.remove_prefix(2);
  } else if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
    doc.encoding_ = Encoding::kUtf16Be;
    bytes.remove_prefix(2);
  }

  if (doc.encoding_ == Encoding::kUtf16Le || doc.encoding_ == Encoding::kUtf16Be) {
    const bool le = doc.encoding_ == Encoding::kUtf16Le;
    doc.text_.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < doc.text_.size(); ++i) {
      const unsigned lo = static_cast<unsigned char>(bytes[le ? 2 * i : 2 * i + 1]);
      const unsigned hi = static_cast<unsigned char>(bytes[le ? 2 * i + 1 : 2 * i]);
      doc.text_[i] = static_cast<char16_t>(lo | (hi << 8));
    }
    const WStringView units(doc.text_);
    for (std::size_t start = 0; start <= units.size();) {
      const std::size_t end = LineEnd(units, start);
      doc.Keep(doc.Classify({}, {start, end - start}));
      start = NextLine(units, end);
    }
  } else {
    doc.bytes_.assign(bytes);
    doc.text_ = FromAnsi(doc.bytes_);
    // CR and LF are single bytes that decode to themselves and never belong
    // to a longer character: the bytes and the text break into the same
    // lines, the n-th line of one being the n-th line of the other.
    const std::string_view raw(doc.bytes_);
    const WStringView units(doc.text_);
    for (std::size_t b = 0, u = 0; b <= raw.size();) {
      const std::size_t rawEnd = LineEnd(raw, b);
      const std::size_t textEnd = LineEnd(units, u);
      doc.Keep(doc.Classify({b, rawEnd - b}, {u, textEnd - u}));
      b = NextLine(raw, rawEnd);
      u = NextLine(units, textEnd);
    }
  }
  return doc;
}

void ProfileDocument::Keep(Line line) {
  // Blank lines are never written back, so they are not kept.
  if (line.kind != Kind::kBlank) lines_.push_back(line);
}

long ProfileDocument::FindSection(WStringView section) const {
  section = Trim(section);
  // Keys before any header form the unnamed section; it comes first.
  if (section.empty()) return -1;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::kSection && SameName(View(lines_[i].name), section)) return static_cast<long>(i);
  }
  return -2;
}

std::size_t ProfileDocument::SectionEnd(long header) const {
  std::size_t i = static_cast<std::size_t>(header + 1);
  while (i < lines_.size() && lines_[i].kind != Kind::kSection) ++i;
  return i;
}

bool ProfileDocument::Find(WStringView section, WStringView key, WString& value) const {
  const long header = FindSection(section);
  if (header == -2) return false;
  key = Trim(key);
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = static_cast<std::size_t>(header + 1); i < end; ++i) {
    if (lines_[i].kind == Kind::kKey && SameName(View(lines_[i].name), key)) {
      value.assign(View(lines_[i].value));
      return true;
    }
  }
  return false;
}

ProfileDocument::Line ProfileDocument::MakeLine(WStringView text) {
  const Span units{text_.size(), text.size()};
  text_.append(text);
  Span raw;
  if (encoding_ == Encoding::kUtf8 || encoding_ == Encoding::kUtf8Bom) {
    const std::string bytes = ToAnsi(text);
    raw = {bytes_.size(), bytes.size()};
    bytes_.append(bytes);
  }
  return Classify(raw, units);
}

bool ProfileDocument::Set(WStringView section, WStringView key, WStringView value) {
  section = Trim(section);
  key = Trim(key);
  const long header = FindSection(section);
  auto keyLine = [&](WStringView name) {
    WString text(name);
    text.push_back(u'=');
    text.append(value);
    return MakeLine(text);
  };
  if (header == -2) {
    WString text = u"[";
    text.append(section);
    text.push_back(u']');
    lines_.push_back(MakeLine(text));
    lines_.push_back(keyLine(key));
    return true;
  }
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = static_cast<std::size_t>(header + 1); i < end; ++i) {
    if (lines_[i].kind == Kind::kKey && SameName(View(lines_[i].name), key)) {
      if (View(lines_[i].value) == value) return false;
      // The key keeps its spelling in the file.
      const WString name(View(lines_[i].name));
      lines_[i] = keyLine(name);
      return true;
    }
  }
  lines_.insert(lines_.begin() + static_cast<long>(end), keyLine(key));
  return true;
}

std::string ProfileDocument::Serialize() const {
  std::string out;
  const bool utf16 = encoding_ == Encoding::kUtf16Le || encoding_ == Encoding::kUtf16Be;
  const bool le = encoding_ == Encoding::kUtf16Le;
  // Enough for every line and its CR LF, the mark and a blank line.
  out.reserve((utf16 ? 2 * text_.size() + 4 * lines_.size() : bytes_.size() + 2 * lines_.size()) + 5);
  switch (encoding_) {
    case Encoding::kUtf8: break;
    case Encoding::kUtf8Bom: out = "\xEF\xBB\xBF"; break;
    case Encoding::kUtf16Le: out = "\xFF\xFE"; break;
    case Encoding::kUtf16Be: out = "\xFE\xFF"; break;
  }
  auto put16 = [&](char16_t c) {
    const char lo = static_cast<char>(c & 0xFF);
    const char hi = static_cast<char>(c >> 8);
    out.push_back(le ? lo : hi);
    out.push_back(le ? hi : lo);
  };
  for (const Line& line : lines_) {
    if (utf16) {
      for (char16_t c : View(line.text)) put16(c);
      put16(u'\r');
      put16(u'\n');
    } else {
      out.append(bytes_, line.raw.begin, line.raw.size);
      out += "\r\n";
    }
  }
  // A file without a mark whose first line was blank may now begin with
  // bytes that read as a mark; a blank line first keeps its encoding.
  if (encoding_ == Encoding::kUtf8) {
    const std::string_view o(out);
    if (o.starts_with("\xEF\xBB\xBF") || o.starts_with("\xFF\xFE") || o.starts_with("\xFE\xFF")) {
      out.insert(0, "\r\n");
    }
  }
  return out;
}

// ---- The functions ----

bool IsWritableProfileValue(WStringView value) { return !HasLineBreak(value); }

bool ProfileReadsBack(WStringView value) {
  return IsWritableProfileValue(value) && Trim(value).size() == value.size() && !IsQuoted(value);
}

DWORD GetPrivateProfileStringW(const char16_t* section, const char16_t* key,
                               const char16_t* defaultValue, char16_t* buffer, DWORD size,
                               const char16_t* path) {
  if (!buffer || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!section || !key) {
    buffer[0] = 0;
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::optional<WString> value;
  {
    std::lock_guard<std::mutex> lock(g_profileMutex);
    value = ReadValue(section, key, path);
  }
  if (!value) {
    WStringView def = defaultValue ? WStringView(defaultValue) : WStringView();
    while (!def.empty() && def.back() == u' ') def.remove_suffix(1);
    value = WString(def);
  }
  CopyToField(buffer, size, *value);
  return static_cast<DWORD>(WideLength(buffer));
}

std::uint32_t GetPrivateProfileIntW(const char16_t* section, const char16_t* key,
                                    int defaultValue, const char16_t* path) {
  if (!section || !key) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<std::uint32_t>(defaultValue);
  }
  std::optional<WString> value;
  {
    std::lock_guard<std::mutex> lock(g_profileMutex);
    value = ReadValue(section, key, path);
  }
  if (!value || value->empty()) return static_cast<std::uint32_t>(defaultValue);
  WStringView s(*value);
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == u'-' || s.front() == u'+')) {
    negative = s.front() == u'-';
    s.remove_prefix(1);
  }
  std::uint32_t n = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') break;
    n = n * 10u + static_cast<std::uint32_t>(c - u'0');
  }
  return negative ? 0u - n : n;
}

BOOL WritePrivateProfileStringW(const char16_t* section, const char16_t* key,
                                const char16_t* value, const char16_t* path) {
  if (!section || !key || !value || !path || !*path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WStringView s = Trim(section), k = Trim(key), v(value);
  // Names and values must stay on their own line and keep their meaning.
  if (HasLineBreak(s) || HasLineBreak(k) || !IsWritableProfileValue(v) || k.empty() ||
      k.find(u'=') != WStringView::npos || k.front() == u'[' || k.front() == u';' ||
      s.size() + 2 > kMaxProfileLineLength || k.size() + 1 + v.size() > kMaxProfileLineLength) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }

  std::lock_guard<std::mutex> lock(g_profileMutex);
  const std::string target = ResolveTarget(NativePath(path));
  std::string bytes;
  struct stat old;
  const ReadResult read = ReadProfileFile(target, bytes, &old);
  if (read == ReadResult::kFailed) return FALSE;  // never replace what we could not read
  ProfileDocument doc = ProfileDocument::Parse(read == ReadResult::kRead ? bytes : std::string());
  if (!doc.Set(s, k, v)) {
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  const std::string out = doc.Serialize();
  if (out.size() > kMaxProfileFileSize) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return FALSE;
  }
  if (!ReplaceFile(target, out, read == ReadResult::kRead ? &old : nullptr)) return FALSE;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace tallow
