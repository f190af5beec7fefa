#include "tools/lrc-build/source.h"

#include <map>

namespace tallow::lrcbuild {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A whole number of decimal digits only, at most |max|.
std::optional<std::uint32_t> ParseNumber(std::string_view s, std::uint32_t max) {
  if (s.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > max) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

// One code point of strict UTF-8 from the front of |s|, which it consumes;
// nullopt (and nothing consumed) for a malformed, over-long or surrogate
// sequence.
std::optional<char32_t> TakeCodePoint(std::string_view& s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t length;
  char32_t cp;
  char32_t least;
  if (lead < 0x80) {
    s.remove_prefix(1);
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, least = 0x10000;
  } else {
    return std::nullopt;
  }
  if (s.size() < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  s.remove_prefix(length);
  return cp;
}

bool ValidUtf8(std::string_view s) {
  while (!s.empty()) {
    if (!TakeCodePoint(s)) return false;
  }
  return true;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// The rest of one line, read from the front.
class Cursor {
 public:
  explicit Cursor(std::string_view rest) : rest_(rest) {}

  void SkipBlanks() {
    while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
  }
  // Blanks, then whether the line is done (a "#" starts a comment).
  bool AtEnd() {
    SkipBlanks();
    return rest_.empty() || rest_.front() == '#';
  }
  // Blanks, then everything up to the next blank.
  std::string_view Word() {
    SkipBlanks();
    std::size_t n = 0;
    while (n < rest_.size() && !IsBlank(rest_[n])) ++n;
    std::string_view word = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return word;
  }
  // Whether the next word, if any, stands apart from what came before.
  bool AtWordBreak() const { return rest_.empty() || IsBlank(rest_.front()) || rest_.front() == '#'; }

  // A text in double quotes with its escapes; on a fault, |error| says why.
  std::optional<std::u16string> QuotedText(std::string& error) {
    SkipBlanks();
    if (rest_.empty() || rest_.front() != '"') {
      error = "expected the text in double quotes after the id";
      return std::nullopt;
    }
    rest_.remove_prefix(1);
    std::u16string text;
    while (true) {
      if (rest_.empty()) {
        error = "the text has no closing double quote";
        return std::nullopt;
      }
      const char c = rest_.front();
      if (c == '"') {
        rest_.remove_prefix(1);
        return text;
      }
      if (c == '\\') {
        if (rest_.size() < 2) {
          error = "the text has no closing double quote";
          return std::nullopt;
        }
        switch (rest_[1]) {
          case '"': text.push_back(u'"'); break;
          case '\\': text.push_back(u'\\'); break;
          case 't': text.push_back(u'\t'); break;
          case 'n': text.push_back(u'\n'); break;
          default:
            error = std::string("unknown escape \\") + rest_[1] + " (known: \\\" \\\\ \\t \\n)";
            return std::nullopt;
        }
        rest_.remove_prefix(2);
        continue;
      }
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        error = "a control character in the text (write a TAB as \\t, a line break as \\n)";
        return std::nullopt;
      }
      // The line was found to be valid UTF-8 before.
      AppendUtf16(text, *TakeCodePoint(rest_));
    }
  }

 private:
  std::string_view rest_;
};

std::optional<std::array<std::uint8_t, 4>> ParseVersion(std::string_view s) {
  std::array<std::uint8_t, 4> version{};
  for (std::size_t i = 0; i < version.size(); ++i) {
    const std::size_t dot = i + 1 < version.size() ? s.find('.') : s.size();
    if (dot == std::string_view::npos) return std::nullopt;
    const auto part = ParseNumber(s.substr(0, dot), 255);
    if (!part) return std::nullopt;
    version[i] = static_cast<std::uint8_t>(*part);
    s.remove_prefix(dot == s.size() ? dot : dot + 1);
  }
  return version;
}

// The most characters that |e| can show once its hotkey and flags are
// applied: an appended "(&X)" and " ...:".
std::size_t LongestShownLength(const Entry& e) {
  std::size_t n = e.text.size();
  if (e.flags & kFlagMarkHotkey) n += 4;
  if (e.flags & kFlagSpace) n += 1;
  if (e.flags & kFlagEllipsis) n += 3;
  if (e.flags & kFlagColon) n += 1;
  return n;
}

// The options after an entry's text.
bool ParseOptions(Cursor& cursor, Entry& e, std::string& error) {
  struct Named {
    std::string_view name;
    std::uint8_t flag;
    std::int16_t kind;
  };
  static constexpr Named kNamed[] = {
      {"colon", kFlagColon, kKindPlain},
      {"ellipsis", kFlagEllipsis, kKindPlain},
      {"space", kFlagSpace, kKindPlain},
      {"parens", kFlagHotkeyInParentheses, kKindPlain},
      {"menu", 0, kKindMenuItem},
  };
  constexpr std::string_view kHotkey = "hotkey=";
  while (!cursor.AtEnd()) {
    const std::string_view word = cursor.Word();
    if (word.starts_with(kHotkey)) {
      if (e.flags & kFlagMarkHotkey) {
        error = "hotkey given twice";
        return false;
      }
      std::string_view key = word.substr(kHotkey.size());
      const auto cp = key.empty() ? std::nullopt : TakeCodePoint(key);
      if (!cp || !key.empty() || *cp >= 0x10000 || *cp < 0x20 || *cp == 0x7F || *cp == '&') {
        error = "a hotkey is one character of the Basic Multilingual Plane, not \"&\", a blank "
                "or a control character";
        return false;
      }
      e.hotkey = static_cast<char16_t>(*cp);
      e.flags |= kFlagMarkHotkey;
      continue;
    }
    const Named* found = nullptr;
    for (const Named& n : kNamed) {
      if (word == n.name) found = &n;
    }
    if (!found) {
      error = "unknown option \"" + std::string(word) +
              "\" (known: hotkey=<character>, parens, colon, ellipsis, space, menu)";
      return false;
    }
    if ((found->flag & e.flags) != 0 || (found->kind != kKindPlain && found->kind == e.kind)) {
      error = "option \"" + std::string(word) + "\" given twice";
      return false;
    }
    e.flags |= found->flag;
    if (found->kind != kKindPlain) e.kind = found->kind;
  }
  if ((e.flags & kFlagHotkeyInParentheses) && !(e.flags & kFlagMarkHotkey)) {
    error = "\"parens\" needs a hotkey";
    return false;
  }
  return true;
}

class Parser {
 public:
  explicit Parser(std::vector<Problem>& problems) : problems_(problems), known_(problems.size()) {}

  void Line(int number, std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!ValidUtf8(line)) return Fault(number, "not valid UTF-8");
    Cursor cursor(line);
    if (cursor.AtEnd()) return;
    const std::string_view word = cursor.Word();
    if (word == "version") return Version(number, cursor);
    if (word == "charset") return Charset(number, cursor);
    if (IsDigit(word.front()) || word.front() == '-' || word.front() == '+') {
      return Text(number, word, cursor);
    }
    Fault(number, "expected a string id, \"version\" or \"charset\", not \"" + std::string(word) + "\"");
  }

  std::optional<Source> Finish() {
    if (!versionLine_) Fault(0, "no \"version\" line");
    if (!charsetLine_) Fault(0, "no \"charset\" line");
    if (source_.entries.empty()) Fault(0, "no texts");
    if (problems_.size() != known_) return std::nullopt;
    return std::move(source_);
  }

 private:
  void Fault(int line, std::string message) { problems_.push_back({line, std::move(message)}); }

  // A directive may be given once; its one value follows it.
  bool Once(int number, const char* name, int& seenAt, Cursor& cursor, std::string_view& value) {
    if (seenAt != 0) {
      Fault(number, std::string("\"") + name + "\" given already on line " + std::to_string(seenAt));
      return false;
    }
    seenAt = number;
    value = cursor.Word();
    if (!cursor.AtEnd()) {
      Fault(number, std::string("\"") + name + "\" takes one value");
      return false;
    }
    return true;
  }

  void Version(int number, Cursor& cursor) {
    std::string_view value;
    if (!Once(number, "version", versionLine_, cursor, value)) return;
    const auto version = ParseVersion(value);
    if (!version) return Fault(number, "a version is four numbers from 0 to 255 joined by \".\"");
    source_.version = *version;
  }

  void Charset(int number, Cursor& cursor) {
    std::string_view value;
    if (!Once(number, "charset", charsetLine_, cursor, value)) return;
    const auto charset = ParseNumber(value, 255);
    if (!charset) return Fault(number, "a character set is a number from 0 to 255");
    source_.charset = *charset;
  }

  void Text(int number, std::string_view idWord, Cursor& cursor) {
    const auto id = ParseNumber(idWord, kMaxStringId);
    if (!id) {
      return Fault(number, "bad string id \"" + std::string(idWord) + "\": a whole number from 0 to " +
                               std::to_string(kMaxStringId));
    }
    Entry e;
    e.id = *id;
    std::string error;
    std::optional<std::u16string> text = cursor.QuotedText(error);
    if (!text) return Fault(number, error);
    e.text = std::move(*text);
    if (!cursor.AtWordBreak()) {
      return Fault(number, "a blank must follow the closing double quote");
    }
    if (!ParseOptions(cursor, e, error)) return Fault(number, error);
    if (LongestShownLength(e) > kMaxShownLength) {
      return Fault(number, "text of id " + std::to_string(e.id) + " is too long: " +
                               std::to_string(LongestShownLength(e)) + " characters with its hotkey and "
                               "flags, at most " + std::to_string(kMaxShownLength) + " are shown");
    }
    const auto [at, inserted] = lines_.emplace(e.id, number);
    if (!inserted) {
      return Fault(number, "id " + std::to_string(e.id) + " given already on line " + std::to_string(at->second));
    }
    source_.entries.push_back(std::move(e));
  }

  std::vector<Problem>& problems_;
  const std::size_t known_;  // problems there before this source
  Source source_;
  std::map<std::uint32_t, int> lines_;  // id -> line of its entry
  int versionLine_ = 0;
  int charsetLine_ = 0;
};

}  // namespace

std::optional<Source> ParseSource(std::string_view text, std::vector<Problem>& problems) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  Parser parser(problems);
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    parser.Line(++number, text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return parser.Finish();
}

}  // namespace tallow::lrcbuild
