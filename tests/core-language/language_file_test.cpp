#include "core/language_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/fonts.h"
#include "support/temp_dir.h"

namespace tallow {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, static_cast<std::uint16_t>(v));
  Put16(b, static_cast<std::uint16_t>(v >> 16));
}
void Patch32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct TestEntry {
  std::uint32_t id;
  std::u16string text;  // without the terminating 0, which is added
  char16_t hotkey = 0;
  std::uint8_t flags = 0;
  std::int16_t kind = 0;
};

Bytes EntryBytes(const TestEntry& e) {
  Bytes b;
  Put32(b, e.id);
  Put16(b, static_cast<std::uint16_t>(e.kind));
  b.push_back(e.flags);
  b.push_back(0);
  Put16(b, 2);
  Put16(b, static_cast<std::uint16_t>((e.text.size() + 1) * 2));
  Put16(b, e.hotkey);
  for (char16_t c : e.text) Put16(b, c);
  Put16(b, 0);
  return b;
}

Bytes Section(std::uint32_t type, const Bytes& headerTail, const Bytes& data,
              std::uint32_t headerSize) {
  Bytes b;
  Put32(b, type);
  Put32(b, headerSize);
  Put32(b, static_cast<std::uint32_t>(data.size()));
  Put32(b, 0);
  b.insert(b.end(), headerTail.begin(), headerTail.end());
  b.resize(headerSize, 0);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes StringSection(const std::vector<TestEntry>& entries, std::uint32_t charset = ANSI_CHARSET) {
  Bytes data;
  for (const TestEntry& e : entries) {
    Bytes one = EntryBytes(e);
    data.insert(data.end(), one.begin(), one.end());
  }
  Bytes tail;
  Put32(tail, charset);
  Put32(tail, 1);
  Put32(tail, static_cast<std::uint32_t>(entries.size()));
  return Section(1, tail, data, 28);
}

Bytes OtherSection(std::uint32_t type) { return Section(type, {}, Bytes(8, 0xAB), 16); }

Bytes LanguageFile(const std::vector<Bytes>& sections, std::array<std::uint8_t, 4> version = {1, 0, 0, 0}) {
  Bytes body;
  std::uint32_t mask = 0;
  for (const Bytes& s : sections) {
    mask |= static_cast<std::uint32_t>(s[0] | (s[1] << 8) | (s[2] << 16) | (s[3] << 24));
    body.insert(body.end(), s.begin(), s.end());
  }
  Bytes b = {'L', 'W', 'Q', 'X', version[0], version[1], version[2], version[3]};
  b.resize(136, 0);
  Put32(b, 152);
  Put32(b, static_cast<std::uint32_t>(body.size()));
  Put32(b, mask);
  Put32(b, 0);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// Offsets in a file whose first section is the string section.
constexpr std::size_t kMask = 144;
constexpr std::size_t kFirstHeaderSize = 152 + 4;
constexpr std::size_t kFirstDataSize = 152 + 8;
constexpr std::size_t kFirstFormat = 152 + 20;
constexpr std::size_t kFirstCount = 152 + 24;
constexpr std::size_t kFirstEntry = 152 + 28;

class FakeFonts : public FontBackend {
 public:
  FontAnswer FindFontForCharset(std::uint8_t charset) override {
    return missing.count(charset) ? FontAnswer::kNotFound : FontAnswer::kFound;
  }
  std::set<std::uint8_t> missing = {SHIFTJIS_CHARSET};
};

class LanguageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFontBackend(&fonts_);
  }
  void TearDown() override {
    InstallFontBackend(nullptr);
  }

  std::u16string Write(const Bytes& bytes, const std::string& name = "Tallowmere.lrc") {
    std::filesystem::path p = dir_ / name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
    return p.u16string();
  }
  LrcFilePtr Open(const Bytes& bytes) { return LrcOpen(Write(bytes).c_str()); }

  FakeFonts fonts_;
  test::TempDir scratch_;
  std::filesystem::path dir_ = scratch_.Path();
};

std::u16string Text(const LrcText& t) { return t ? std::u16string(t.get()) : u"<null>"; }

TEST_F(LanguageFileTest, HeaderOnlyFileOpensWithoutStringsWhateverItsMask) {
  for (std::uint32_t mask : {0u, 2u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(mask);
    Bytes b = LanguageFile({});
    Patch32(b, kMask, mask);
    ASSERT_EQ(b.size(), 152u);
    LrcFilePtr f = Open(b);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->stringSection, nullptr);
    EXPECT_EQ(LrcFindString(f.get(), 10102), nullptr);
    EXPECT_EQ(f->flags & kLrcIncomplete, 0u);
    EXPECT_EQ(Text(LrcGetVersionText(f.get())), u"1.0.0.0");
  }
}

TEST_F(LanguageFileTest, FindsTextsAndIgnoresOtherSectionTypes) {
  std::vector<TestEntry> entries = {{10102, u"Preview"}, {10103, u"Delete after save"}};
  for (const auto& sections : {std::vector<Bytes>{StringSection(entries)},
                               std::vector<Bytes>{OtherSection(2), StringSection(entries), OtherSection(8)}}) {
    LrcFilePtr f = Open(LanguageFile(sections));
    ASSERT_TRUE(f);
    EXPECT_EQ(Text(LrcFindString(f.get(), 10103)), u"Delete after save");
    EXPECT_EQ(Text(LrcFindString(f.get(), 10102)), u"Preview");
    EXPECT_EQ(f->flags & kLrcIncomplete, 0u);
  }
}

TEST_F(LanguageFileTest, FirstOfTwoEntriesWithTheSameIdWins) {
  LrcFilePtr f = Open(LanguageFile({StringSection({{7, u"first"}, {7, u"second"}})}));
  ASSERT_TRUE(f);
  EXPECT_EQ(Text(LrcFindString(f.get(), 7)), u"first");
}

TEST_F(LanguageFileTest, MissedLookupMarksTheVersionText) {
  LrcFilePtr f = Open(LanguageFile({StringSection({{1, u"x"}})}, {1, 0, 12, 255}));
  ASSERT_TRUE(f);
  EXPECT_EQ(Text(LrcGetVersionText(f.get())), u"1.0.12.255");
  EXPECT_EQ(LrcFindString(f.get(), 2), nullptr);
  EXPECT_EQ(Text(LrcGetVersionText(f.get())), u"1.0.12.255 !");
  // The mark stays once set.
  EXPECT_EQ(Text(LrcFindString(f.get(), 1)), u"x");
  EXPECT_EQ(Text(LrcGetVersionText(f.get())), u"1.0.12.255 !");
}

TEST_F(LanguageFileTest, VersionTextBounds) {
  EXPECT_EQ(Text(LrcGetVersionText(nullptr)), u"-");
  LrcFilePtr f = Open(LanguageFile({StringSection({{1, u"x"}})}, {255, 255, 255, 255}));
  ASSERT_TRUE(f);
  LrcFindString(f.get(), 99);
  std::u16string longest = Text(LrcGetVersionText(f.get()));
  EXPECT_EQ(longest, u"255.255.255.255 !");
  EXPECT_EQ(longest.size(), 17u);
  LrcFilePtr g = Open(LanguageFile({StringSection({{1, u"x"}})}, {0, 9, 10, 100}));
  ASSERT_TRUE(g);
  EXPECT_EQ(Text(LrcGetVersionText(g.get())), u"0.9.10.100");
}

struct HotkeyCase {
  std::u16string text;
  char16_t hotkey;
  std::uint8_t flags;
  std::int16_t kind;
  std::u16string expected;
};

TEST_F(LanguageFileTest, BuildsHotkeysAndDecorations) {
  const HotkeyCase cases[] = {
      {u"File", u'f', 0x01, 0, u"&File"},
      {u"Save", u'x', 0x01, 0, u"Save(&X)"},
      {u"name", u'n', 0x03, 0, u"&name:"},
      {u"nN", u'n', 0x01, 0, u"n&N"},
      {u"Open\tCtrl+O", u'o', 0x05, 5, u"&Open...\tCtrl+O"},
      {u"A&B", u'b', 0x01, 0, u"A&B"},
      {u"Open", u's', 0x11, 0, u"Open(&S)"},
      {u"Save", u's', 0x11, 0, u"Save(&S)"},
      // Decorations come in the order blank, ellipsis, colon.
      {u"Name", 0, 0x0E, 0, u"Name ...:"},
      // No hotkey, or the mark flag not set: nothing marked.
      {u"File", 0, 0x01, 0, u"File"},
      {u"File", u'f', 0x00, 0, u"File"},
      // Only kind 5 keeps its TAB tail after the decorations.
      {u"Open\tCtrl+O", u'o', 0x05, 0, u"&Open\tCtrl+O..."},
      // An "&" behind the TAB does not cancel the marking.
      {u"Open\tA&B", u'o', 0x01, 5, u"&Open\tA&B"},
      {u"", u's', 0x01, 0, u"(&S)"},
      // The most a text can grow: one character into ten.
      {u"x", u'q', 0x1F, 0, u"x(&Q) ...:"},
      {u"", u'q', 0x1F, 5, u"(&Q) ...:"},
  };
  std::vector<TestEntry> entries;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    entries.push_back({static_cast<std::uint32_t>(i + 1), cases[i].text, cases[i].hotkey,
                       cases[i].flags, cases[i].kind});
  }
  LrcFilePtr f = Open(LanguageFile({StringSection(entries)}));
  ASSERT_TRUE(f);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Text(LrcFindString(f.get(), static_cast<std::uint32_t>(i + 1))), cases[i].expected);
  }
}

TEST_F(LanguageFileTest, TextEndsAtItsFirstZeroCharacter) {
  Bytes b = LanguageFile({StringSection({{1, std::u16string(u"AB\0CD", 5), u'c', 0x01}})});
  LrcFilePtr f = Open(b);
  ASSERT_TRUE(f);
  EXPECT_EQ(Text(LrcFindString(f.get(), 1)), u"AB(&C)");
}

struct RejectCase {
  const char* name;
  std::function<Bytes()> make;
  DWORD error;  // kUnchanged: the reader sets none
};
constexpr DWORD kUnchanged = 0xC0FFEE;

Bytes Valid() { return LanguageFile({StringSection({{1, u"One"}, {2, u"Two"}})}); }
Bytes With32(std::size_t at, std::uint32_t v) {
  Bytes b = Valid();
  Patch32(b, at, v);
  return b;
}

TEST_F(LanguageFileTest, RejectsBrokenFiles) {
  const RejectCase cases[] = {
      {"shorter than the header", [] { return Bytes(151, 0); }, ERROR_HANDLE_EOF},
      {"empty", [] { return Bytes(); }, ERROR_HANDLE_EOF},
      {"magic", [] { return With32(0, 0x5851574D); }, kUnchanged},
      {"first section offset", [] { return With32(136, 156); }, kUnchanged},
      {"truncated body",
       [] {
         Bytes b = Valid();
         b.pop_back();
         return b;
       },
       kUnchanged},
      {"body without mask", [] { return With32(kMask, 0); }, kUnchanged},
      {"only a section of type 2", [] { return LanguageFile({OtherSection(2)}); }, ERROR_HANDLE_EOF},
      {"character set without a font",
       [] { return LanguageFile({StringSection({{1, u"x"}}, SHIFTJIS_CHARSET)}); }, ERROR_HANDLE_EOF},
      {"character set's low byte decides",
       [] { return LanguageFile({StringSection({{1, u"x"}}, 0x100 | SHIFTJIS_CHARSET)}); },
       ERROR_HANDLE_EOF},
      {"table format not 1", [] { return With32(kFirstFormat, 2); }, ERROR_HANDLE_EOF},
      {"no entries", [] { return With32(kFirstCount, 0); }, ERROR_HANDLE_EOF},
      {"more entries than data", [] { return With32(kFirstCount, 3); }, ERROR_HANDLE_EOF},
      {"fewer entries than data", [] { return With32(kFirstCount, 1); }, ERROR_HANDLE_EOF},
      {"section header below 16", [] { return With32(kFirstHeaderSize, 12); }, ERROR_HANDLE_EOF},
      // The string section's fields at 16, 20 and 24 must lie in its header.
      {"string section header below 28",
       [] {
         Bytes data = EntryBytes({1, u"x"});
         Bytes tail;
         Put32(tail, ANSI_CHARSET);
         Put32(tail, 1);
         Put32(tail, 1);
         Bytes s = Section(1, {}, tail, 16);
         s.insert(s.end(), data.begin(), data.end());
         Patch32(s, 8, static_cast<std::uint32_t>(tail.size() + data.size()));
         return LanguageFile({s});
       },
       ERROR_HANDLE_EOF},
      {"section data size 0",
       [] { return LanguageFile({Section(2, {}, {}, 16), StringSection({{1, u"x"}})}); },
       ERROR_HANDLE_EOF},
      {"section sizes past the body", [] { return With32(kFirstDataSize, 0xFFFFFFF0u); },
       ERROR_HANDLE_EOF},
      {"type with two bits",
       [] {
         Bytes b = LanguageFile({StringSection({{1, u"x"}}), OtherSection(6)});
         return b;
       },
       ERROR_HANDLE_EOF},
      {"type repeated",
       [] { return LanguageFile({StringSection({{1, u"x"}}), StringSection({{2, u"y"}})}); },
       ERROR_HANDLE_EOF},
      {"type outside the mask",
       [] {
         Bytes b = LanguageFile({StringSection({{1, u"x"}}), OtherSection(4)});
         Patch32(b, kMask, 1);
         return b;
       },
       ERROR_HANDLE_EOF},
      {"mask names a missing section", [] { return With32(kMask, 3); }, ERROR_HANDLE_EOF},
      {"text without its zero character",
       [] {
         Bytes b = Valid();
         // Entry 1: text "One" + 0 at kFirstEntry + 14; overwrite the 0.
         b[kFirstEntry + 14 + 6] = 'X';
         return b;
       },
       ERROR_HANDLE_EOF},
      {"odd text size",
       [] {
         Bytes b = Valid();
         b[kFirstEntry + 10] = 7;
         return b;
       },
       ERROR_HANDLE_EOF},
      {"text size 0",
       [] {
         Bytes b = Valid();
         b[kFirstEntry + 10] = 0;
         return b;
       },
       ERROR_HANDLE_EOF},
      {"extra size below 2",
       [] {
         Bytes b = Valid();
         b[kFirstEntry + 8] = 1;
         return b;
       },
       ERROR_HANDLE_EOF},
  };
  for (const RejectCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = c.make();
    SetLastError(kUnchanged);
    EXPECT_EQ(LrcOpen(Write(b).c_str()), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
    SetLastError(kUnchanged);
    EXPECT_EQ(LrcOpenMemory(b.data(), b.size()), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
  }
}

TEST_F(LanguageFileTest, EveryCutOfAValidFileIsRejected) {
  Bytes full = LanguageFile({OtherSection(2), StringSection({{1, u"One", u'o', 0x1F, 5}})});
  for (std::size_t size = 0; size < full.size(); ++size) {
    Bytes cut(full.begin(), full.begin() + static_cast<long>(size));
    if (cut.size() >= 152) Patch32(cut, 140, static_cast<std::uint32_t>(size - 152));
    LrcFilePtr f = LrcOpenMemory(cut.data(), cut.size());
    // Only the bare header stands on its own.
    EXPECT_EQ(f != nullptr, size == 152) << size;
  }
}

TEST_F(LanguageFileTest, OpenFailuresKeepTheSystemReason) {
  SetLastError(0);
  EXPECT_EQ(LrcOpen(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(LrcOpen((dir_ / "missing.lrc").u16string().c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(LrcOpen(dir_.u16string().c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  // Far larger than any language file: refused before its buffer is taken.
  std::u16string big = Write(Valid(), "big.lrc");
  std::filesystem::resize_file(std::filesystem::path(big), kLrcMaxFileSize + 1);
  EXPECT_EQ(LrcOpen(big.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_OUTOFMEMORY);
  EXPECT_EQ(LrcFindString(nullptr, 1), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(LanguageFileTest, WithoutAFontServiceEveryCharacterSetIsAvailable) {
  struct NoService : FontBackend {
    FontAnswer FindFontForCharset(std::uint8_t) override { return FontAnswer::kNoFontService; }
  } none;
  InstallFontBackend(&none);
  EXPECT_TRUE(Open(LanguageFile({StringSection({{1, u"x"}}, SHIFTJIS_CHARSET)})));
  // The system's own fonts: Latin text is either covered or cannot be asked.
  InstallFontBackend(nullptr);
  EXPECT_TRUE(IsCharsetAvailable(ANSI_CHARSET));
  EXPECT_TRUE(IsCharsetAvailable(DEFAULT_CHARSET));
}

}  // namespace
}  // namespace tallow
