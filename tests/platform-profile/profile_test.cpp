#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/temp_dir.h"

namespace tallow {
namespace {

namespace fs = std::filesystem;

// A literal with NULs in it, without its terminating one.
template <std::size_t N>
std::string Raw(const char (&s)[N]) {
  return std::string(s, N - 1);
}

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (dir_ / "Tallowmere.ini").u16string();
  }

  void Put(const std::string& bytes) {
    std::ofstream(fs::path(path_), std::ios::binary) << bytes;
  }
  std::string Contents() const {
    std::ifstream in(fs::path(path_), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  WString Get(const char16_t* section, const char16_t* key, const char16_t* def = u"<default>") {
    char16_t buffer[4096];
    DWORD n = GetPrivateProfileStringW(section, key, def, buffer, 4096, path_.c_str());
    EXPECT_EQ(n, WideLength(buffer));
    return buffer;
  }
  BOOL Set(const char16_t* section, const char16_t* key, const char16_t* value) {
    return WritePrivateProfileStringW(section, key, value, path_.c_str());
  }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    return names;
  }

  test::TempDir scratch_;
  fs::path dir_ = scratch_.Path();
  WString path_;
};

struct ReadCase {
  const char* name;
  std::string file;
  const char16_t* section;
  const char16_t* key;
  const char16_t* expected;
};

TEST_F(ProfileTest, ReadsValuesAsTheOtherSystemDoes) {
  const ReadCase cases[] = {
      {"plain", "[MFPInfo]\r\nmachineName=Front desk\r\n", u"MFPInfo", u"machineName", u"Front desk"},
      {"case of names ignored", "[mfpinfo]\nMACHINENAME=A\n", u"MFPInfo", u"machineName", u"A"},
      {"blanks trimmed", " \t[ MFPInfo ]\x1A \n  machineName \t=  Two words \r\n", u"MFPInfo",
       u"machineName", u"Two words"},
      {"caller's names trimmed", "[S]\nk=v\n", u" S ", u" k ", u"v"},
      {"double quotes removed", "[S]\nk=\" padded \"\n", u"S", u"k", u" padded "},
      {"single quotes removed", "[S]\nk='x'\n", u"S", u"k", u"x"},
      {"unmatched quotes kept", "[S]\nk=\"x'\n", u"S", u"k", u"\"x'"},
      {"one quote kept", "[S]\nk=\"\n", u"S", u"k", u"\""},
      {"empty value", "[S]\nk=\n", u"S", u"k", u""},
      {"value holds =", "[S]\nk=a=b\n", u"S", u"k", u"a=b"},
      {"first section wins", "[S]\nk=1\n[S]\nk=2\n", u"S", u"k", u"1"},
      {"first key wins", "[S]\nk=1\nK=2\n", u"S", u"k", u"1"},
      {"keys of the next section are not ours", "[S]\n[T]\nk=1\n", u"S", u"k", u"<default>"},
      {"keys before any header", "k=top\n[S]\nk=s\n", u"", u"k", u"top"},
      {"header ends at the last ]", "[A]B] trailing\nk=1\n", u"A]B", u"k", u"1"},
      {"comment is no key", "[S]\n;k=1\n", u"S", u"k", u"<default>"},
      {"comment then key", "[S]\n; note\nk=2\n", u"S", u"k", u"2"},
      {"line without =", "[S]\nk\n", u"S", u"k", u"<default>"},
      {"[ without ] is a key line", "[S]\n[k=1\n", u"S", u"[k", u"1"},
      {"CR line ends", "[S]\rk=cr\r", u"S", u"k", u"cr"},
      {"no final line end", "[S]\nk=last", u"S", u"k", u"last"},
      {"missing key", "[S]\nother=1\n", u"S", u"k", u"<default>"},
      {"missing section", "[T]\nk=1\n", u"S", u"k", u"<default>"},
      {"UTF-8 text", "[S]\nk=B\xC3\xBCro \xE2\x82\xAC\n", u"S", u"k", u"B\u00FCro \u20AC"},
      {"UTF-8 mark", "\xEF\xBB\xBF[S]\nk=bom\n", u"S", u"k", u"bom"},
      {"characters cut by line ends", "[S]\nj=\xE2\x82\r\nk=\xC3\n", u"S", u"k", u"\uFFFD"},
      {"UTF-16 LE", Raw("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xAC\x20\r\0\n\0"), u"S", u"k",
       u"\u20AC"},
      {"UTF-16 BE", Raw("\xFE\xFF\0[\0S\0]\0\n\0k\0=\0v"), u"S", u"k", u"v"},
      {"over-long line never matches",
       "[S]\nk=" + std::string(kMaxProfileLineLength, 'x') + "\nk=short\n", u"S", u"k", u"short"},
      {"empty file", "", u"S", u"k", u"<default>"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    Put(c.file);
    EXPECT_EQ(Get(c.section, c.key), c.expected);
  }
}

TEST_F(ProfileTest, DefaultsAndBuffers) {
  EXPECT_EQ(Get(u"S", u"k", u"missing file  "), u"missing file");  // trailing blanks dropped
  EXPECT_EQ(Get(u"S", u"k", nullptr), u"");
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  Put("[S]\nk=abcdef\n");
  char16_t small[4] = {u'?', u'?', u'?', u'?'};
  EXPECT_EQ(GetPrivateProfileStringW(u"S", u"k", u"", small, 4, path_.c_str()), 3u);
  EXPECT_EQ(WString(small), u"abc");
  EXPECT_EQ(GetPrivateProfileStringW(u"S", u"k", u"", small, 0, path_.c_str()), 0u);
  EXPECT_EQ(small[0], u'a');  // untouched

  // Bigger than any settings file may be: not read at all.
  Put("[S]\nk=big\n;" + std::string(kMaxProfileFileSize, 'x'));
  EXPECT_EQ(Get(u"S", u"k"), u"<default>");
  EXPECT_EQ(GetLastError(), ERROR_FILE_TOO_LARGE);
}

TEST_F(ProfileTest, ReadsIntegers) {
  struct Case {
    const char* value;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"80", 80},       {"70000", 70000}, {"-1", 0xFFFFFFFFu}, {"+7", 7},
      {"12abc", 12},    {"abc", 0},       {"\"5\"", 5},        {"4294967297", 1},
      {"", 1234},  // empty: the default
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Put(std::string("[MFPInfo]\r\nhttpPortNumber=") + c.value + "\r\n");
    EXPECT_EQ(GetPrivateProfileIntW(u"MFPInfo", u"httpPortNumber", 1234, path_.c_str()), c.expected);
  }
  // A stored port of 70000 keeps its low 16 bits in the record.
  Put("[MFPInfo]\r\nhttpPortNumber=70000\r\n");
  EXPECT_EQ(static_cast<std::uint16_t>(GetPrivateProfileIntW(u"MFPInfo", u"httpPortNumber", 80, path_.c_str())),
            4464);
  EXPECT_EQ(GetPrivateProfileIntW(u"MFPInfo", u"SearchPortNumber", 61000, path_.c_str()), 61000u);
  EXPECT_EQ(GetPrivateProfileIntW(u"MFPInfo", u"x", -5, (dir_ / "none.ini").u16string().c_str()),
            static_cast<std::uint32_t>(-5));
}

TEST_F(ProfileTest, NewFileIsOwnerOnlyAndRoundTripsEverySetting) {
  struct Key {
    const char16_t* section;
    const char16_t* key;
    const char16_t* value;
  };
  const Key keys[] = {
      {u"MFPInfo", u"machineName", u"MFP \u00C9tage 2"}, {u"MFPInfo", u"IPv4Address", u"127.0.0.1"},
      {u"MFPInfo", u"deviceInternalName", u"usb:0001"},   {u"MFPInfo", u"isUSB", u"0"},
      {u"MFPInfo", u"isSpecifiedIPAddress", u"1"},        {u"MFPInfo", u"SpecifiedIPAddress", u"mfp.local"},
      {u"MFPInfo", u"httpPortNumber", u"8080"},           {u"MFPInfo", u"SearchPortNumber", u"61000"},
      {u"MFPInfo", u"isNotShowDlg", u"0"},                {u"SettingInfo", u"machineName", u"MFP"},
      {u"SettingInfo", u"boxIndex", u"3"},                {u"SettingInfo", u"folderPath", u"/home/u/Scans"},
      {u"SettingInfo", u"ColorFormat", u"1"},             {u"SettingInfo", u"MonoFormat", u"0"},
      {u"SettingInfo", u"DeleteFile", u"1"},              {u"SettingInfo", u"SimpleMode", u"0"},
      {u"PasswordInfo", u"savePassword", u"1"},           {u"PasswordInfo", u"password", u"24107"},
  };
  for (const Key& k : keys) ASSERT_TRUE(Set(k.section, k.key, k.value)) << GetLastError();
  struct stat st;
  ASSERT_EQ(::stat(fs::path(path_).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  for (const Key& k : keys) EXPECT_EQ(Get(k.section, k.key), k.value);
  EXPECT_EQ(GetPrivateProfileIntW(u"MFPInfo", u"httpPortNumber", 80, path_.c_str()), 8080u);
  const std::string start = "[MFPInfo]\r\nmachineName=MFP \xC3\x89tage 2\r\nIPv4Address=";
  EXPECT_EQ(Contents().substr(0, start.size()), start);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Tallowmere.ini"});
}

struct WriteCase {
  const char* name;
  std::string before;
  const char16_t* section;
  const char16_t* key;
  const char16_t* value;
  std::string after;
};

TEST_F(ProfileTest, WritesChangeOnlyTheirOwnLine) {
  const WriteCase cases[] = {
      {"other lines kept as they are",
       "; comment\r\n[Other]\r\n  odd line kept  \r\nx = 1\r\n\r\n[S]\r\nk=old\r\nz=2\r\n", u"S", u"k", u"new",
       "; comment\r\n[Other]\r\n  odd line kept  \r\nx = 1\r\n[S]\r\nk=new\r\nz=2\r\n"},
      {"new key at the end of its section", "[S]\na=1\n; c\n[T]\nb=2\n", u"s", u"k", u"v",
       "[S]\r\na=1\r\n; c\r\nk=v\r\n[T]\r\nb=2\r\n"},
      {"new section at the end", "[S]\na=1\n", u"T", u"k", u"v", "[S]\r\na=1\r\n[T]\r\nk=v\r\n"},
      {"key keeps its spelling", "[s]\nKEY = 1\n", u"S", u"key", u"2", "[s]\r\nKEY=2\r\n"},
      {"first of two sections", "[S]\nk=1\n[S]\nk=2\n", u"S", u"k", u"3", "[S]\r\nk=3\r\n[S]\r\nk=2\r\n"},
      {"unnamed section before the first header", "a=1\n[S]\nk=1\n", u"", u"b", u"2",
       "a=1\r\nb=2\r\n[S]\r\nk=1\r\n"},
      {"empty value", "[PasswordInfo]\npassword=24107\n", u"PasswordInfo", u"password", u"",
       "[PasswordInfo]\r\npassword=\r\n"},
      {"UTF-8 mark kept", "\xEF\xBB\xBF[S]\nk=1\n", u"S", u"k", u"2", "\xEF\xBB\xBF[S]\r\nk=2\r\n"},
      {"bytes that are not UTF-8 kept", "[S]\n; \xFF\xFE caf\xE9\nk=1\n", u"S", u"k", u"2",
       "[S]\r\n; \xFF\xFE caf\xE9\r\nk=2\r\n"},
      {"a dropped blank line does not turn text into a mark", "\n\xFF\xFEx=1\n[S]\nk=1\n", u"S", u"k",
       u"2", "\r\n\xFF\xFEx=1\r\n[S]\r\nk=2\r\n"},
      {"UTF-16 written as UTF-16", Raw("\xFF\xFE[\0S\0]\0\n\0k\0=\0" "1\0"), u"S", u"k",
       u"\u20AC", Raw("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xAC\x20\r\0\n\0")},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    Put(c.before);
    ASSERT_TRUE(Set(c.section, c.key, c.value)) << GetLastError();
    EXPECT_EQ(Contents(), c.after);
    EXPECT_EQ(Get(c.section, c.key), c.value);
  }
}

TEST_F(ProfileTest, UnchangedValueWritesNothing) {
  const std::string before = "[S]\n\nk = same\n";
  Put(before);
  const auto stamp = fs::last_write_time(fs::path(path_));
  ASSERT_TRUE(Set(u"S", u"K", u"same"));
  EXPECT_EQ(Contents(), before);
  EXPECT_EQ(fs::last_write_time(fs::path(path_)), stamp);
}

TEST_F(ProfileTest, RefusesWhatWouldBreakTheFile) {
  const std::string before = "[PasswordInfo]\r\nsavePassword=0\r\n";
  struct Case {
    const char16_t* section;
    const char16_t* key;
    const char16_t* value;
  };
  const Case cases[] = {
      {u"MFPInfo", u"machineName", u"x\r\n[PasswordInfo]\r\nsavePassword=1"},
      {u"MFPInfo", u"machineName", u"x\ny"},
      {u"MFP\nInfo", u"machineName", u"x"},
      {u"MFPInfo", u"machine=Name", u"x"},
      {u"MFPInfo", u"[machineName]", u"x"},
      {u"MFPInfo", u";machineName", u"x"},
      {u"MFPInfo", u"  ", u"x"},
      {nullptr, u"k", u"x"},
      {u"S", nullptr, u"x"},
      {u"S", u"k", nullptr},
  };
  for (const Case& c : cases) {
    Put(before);
    SetLastError(0);
    EXPECT_FALSE(Set(c.section, c.key, c.value));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Contents(), before);
  }
  const std::u16string tooLong(kMaxProfileLineLength, u'x');
  EXPECT_FALSE(Set(u"S", u"k", tooLong.c_str()));
  EXPECT_EQ(Contents(), before);
}

TEST_F(ProfileTest, FailedWritesLeaveEverythingAsItWas) {
  // The folder is missing.
  const WString inMissing = (dir_ / "setting" / "Tallowmere.ini").u16string();
  EXPECT_FALSE(WritePrivateProfileStringW(u"S", u"k", u"v", inMissing.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  // The "folder" is a file.
  Put("[S]\r\nk=1\r\n");
  const WString underFile = fs::path(path_).u16string() + u"/x.ini";
  EXPECT_FALSE(WritePrivateProfileStringW(u"S", u"k", u"v", underFile.c_str()));
  // A file too big to read is not rewritten.
  const std::string big = "[S]\r\nk=1\r\n;" + std::string(kMaxProfileFileSize, 'x');
  Put(big);
  EXPECT_FALSE(Set(u"S", u"k", u"2"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_TOO_LARGE);
  EXPECT_EQ(Contents(), big);
  // A folder in the file's place.
  const WString folder = dir_.u16string();
  EXPECT_FALSE(WritePrivateProfileStringW(u"S", u"k", u"v", folder.c_str()));
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Tallowmere.ini"});
}

TEST_F(ProfileTest, RewriteReplacesTheFileWholeAndKeepsItsMode) {
  Put("[S]\r\nk=1\r\n");
  ASSERT_EQ(::chmod(fs::path(path_).c_str(), 0640), 0);
  struct stat before, after;
  ASSERT_EQ(::stat(fs::path(path_).c_str(), &before), 0);
  ASSERT_TRUE(Set(u"S", u"k", u"2"));
  ASSERT_EQ(::stat(fs::path(path_).c_str(), &after), 0);
  // A new file renamed into place: a reader never sees a half-written one.
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(after.st_mode & 0777, 0640u);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Tallowmere.ini"});
}

TEST_F(ProfileTest, LinkedSettingsFileStaysALink) {
  const fs::path real = dir_ / "real.ini";
  std::ofstream(real, std::ios::binary) << "[S]\r\nk=1\r\n";
  fs::create_symlink(real, fs::path(path_));
  ASSERT_TRUE(Set(u"S", u"k", u"2"));
  EXPECT_TRUE(fs::is_symlink(fs::path(path_)));
  EXPECT_EQ(Get(u"S", u"k"), u"2");
}

TEST_F(ProfileTest, ConcurrentWritesLoseNothing) {
  auto writer = [this](const char16_t* key) {
    for (int i = 0; i < 20; ++i) {
      std::u16string v = u"v" + std::u16string(1, static_cast<char16_t>(u'a' + i));
      ASSERT_TRUE(Set(u"S", key, v.c_str()));
    }
  };
  std::thread a(writer, u"a"), b(writer, u"b");
  a.join();
  b.join();
  EXPECT_EQ(Get(u"S", u"a"), u"vt");
  EXPECT_EQ(Get(u"S", u"b"), u"vt");
}

}  // namespace
}  // namespace tallow
