#include "core/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/texts.h"
#include "platform/app_profile.h"
#include "settings_fixture.h"

namespace tallow::test {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallMessageBoxBackend(&boxes_);
    LoadMessageTable(MessageTable());
    std::filesystem::create_directories(folder_.File("setting"));
    std::filesystem::create_directories(Desktop());
    SetAppProfilePath(folder_.Wide(kSettingsFile));
    SetSettingInfo(SettingInfo());
    SetMFPInfo(MFPInfo());
    SetPasswordInfo(PasswordInfo());
  }
  void TearDown() override {
    InstallMessageBoxBackend(nullptr);
    SetAppProfilePath(u"");
  }

  // Start-up and Exit each use an AppSettings of their own.
  static void StartUp() { AppSettings().Load(); }
  static bool Exit() { return AppSettings().Save(); }

  // The program's next run: fresh current copies, then the file.
  static void StartAgain() {
    SetSettingInfo(SettingInfo());
    SetMFPInfo(MFPInfo());
    SetPasswordInfo(PasswordInfo());
    StartUp();
  }

  // Records with every field away from its default.
  static SettingInfo SampleSettingInfo() {
    SettingInfo s;
    s.machineName = u"Front office MFP";
    s.boxIndex = 65535;
    s.folderPath = u"/srv/scans/\u00DCn\u00EFcode folder";
    s.ColorFormat = 1;
    s.MonoFormat = 1;
    s.DeleteFile = 0;
    s.SimpleMode = 1;
    return s;
  }
  static MFPInfo SampleMfpInfo() {
    MFPInfo m;
    m.machineName = u"MFP-4410";
    m.IPv4Address = u"127.0.0.5";
    m.deviceInternalName = u"usb-0001";
    m.isUSB = TRUE;
    m.isSpecifiedIPAddress = TRUE;
    m.SpecifiedIPAddress = u"scanner.local";
    m.httpPortNumber = 65535;
    m.SearchPortNumber = 0;
    m.isNotShowDlg = TRUE;
    return m;
  }

  // Every field of the current copies is that of |s| and |m|.
  static void ExpectCurrent(const SettingInfo& s, const MFPInfo& m) {
    const SettingInfo s2 = GetSettingInfo();
    EXPECT_EQ(s2.machineName, s.machineName);
    EXPECT_EQ(s2.boxIndex, s.boxIndex);
    EXPECT_EQ(s2.folderPath, s.folderPath);
    EXPECT_EQ(s2.ColorFormat, s.ColorFormat);
    EXPECT_EQ(s2.MonoFormat, s.MonoFormat);
    EXPECT_EQ(s2.DeleteFile, s.DeleteFile);
    EXPECT_EQ(s2.SimpleMode, s.SimpleMode);
    const MFPInfo m2 = GetMFPInfo();
    EXPECT_EQ(m2.machineName, m.machineName);
    EXPECT_EQ(m2.IPv4Address, m.IPv4Address);
    EXPECT_EQ(m2.deviceInternalName, m.deviceInternalName);
    EXPECT_EQ(m2.isUSB, m.isUSB);
    EXPECT_EQ(m2.isSpecifiedIPAddress, m.isSpecifiedIPAddress);
    EXPECT_EQ(m2.SpecifiedIPAddress, m.SpecifiedIPAddress);
    EXPECT_EQ(m2.httpPortNumber, m.httpPortNumber);
    EXPECT_EQ(m2.SearchPortNumber, m.SearchPortNumber);
    EXPECT_EQ(m2.isNotShowDlg, m.isNotShowDlg);
  }

  std::string Desktop() const { return folder_.File("home") + "/Desktop"; }
  void WriteSettings(const std::string& ini) const { folder_.Write(kSettingsFile, ini); }
  std::string ReadSettings() const { return folder_.Read(kSettingsFile); }

  static constexpr const char* kSettingsFile = "setting/tallowmere.ini";
  TempDir folder_;
  ScopedEnv home_{"HOME", folder_.File("home")};
  ScopedEnv config_{"XDG_CONFIG_HOME", std::nullopt};
  RecordingMessageBox boxes_;
};

TEST_F(SettingsTest, FirstStartKeepsTheDefaultsAndExitWritesEveryKeyInOrder) {
  StartUp();
  EXPECT_FALSE(folder_.Exists(kSettingsFile));
  const SettingInfo s = GetSettingInfo();
  EXPECT_EQ(ToAnsi(s.folderPath), Desktop());
  EXPECT_EQ(s.boxIndex, 1);
  EXPECT_EQ(s.DeleteFile, 1);
  const MFPInfo m = GetMFPInfo();
  EXPECT_EQ(m.httpPortNumber, 80);
  EXPECT_EQ(m.SearchPortNumber, 61000);
  EXPECT_EQ(GetPasswordInfo().password, u"");

  ASSERT_TRUE(Exit());
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(ReadSettings(),
            "[MFPInfo]\r\nmachineName=\r\nIPv4Address=\r\ndeviceInternalName=\r\nisUSB=0\r\n"
            "isSpecifiedIPAddress=0\r\nSpecifiedIPAddress=\r\nhttpPortNumber=80\r\n"
            "SearchPortNumber=61000\r\nisNotShowDlg=0\r\n"
            "[SettingInfo]\r\nmachineName=\r\nboxIndex=1\r\nfolderPath=" + Desktop() +
            "\r\nColorFormat=0\r\nMonoFormat=0\r\nDeleteFile=1\r\nSimpleMode=0\r\n"
            "[PasswordInfo]\r\nsavePassword=0\r\npassword=\r\n");
}

TEST_F(SettingsTest, EveryFieldSurvivesExitAndTheNextStart) {
  const SettingInfo s = SampleSettingInfo();
  const MFPInfo m = SampleMfpInfo();
  SetSettingInfo(s);
  SetMFPInfo(m);
  SetPasswordInfo({u"4321", TRUE});
  ASSERT_TRUE(Exit());
  // The 16-bit fields are written as their unsigned value.
  EXPECT_NE(ReadSettings().find("httpPortNumber=65535\r\n"), std::string::npos);

  StartAgain();
  ExpectCurrent(s, m);
  const PasswordInfo p2 = GetPasswordInfo();
  EXPECT_EQ(p2.password, u"4321");
  EXPECT_EQ(p2.savePassword, TRUE);
}

TEST_F(SettingsTest, StoredValuesAreReadAsTheFileHoldsThem) {
  struct Case {
    const char* name;
    std::string ini;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"empty folder keeps the desktop", "[SettingInfo]\nfolderPath=\nboxIndex=3\n",
       [&] {
         EXPECT_EQ(ToAnsi(GetSettingInfo().folderPath), Desktop());
         EXPECT_EQ(GetSettingInfo().boxIndex, 3);
       }},
      {"a folder that does not exist is taken", "[SettingInfo]\nfolderPath=/no/such/folder\n",
       [] { EXPECT_EQ(GetSettingInfo().folderPath, u"/no/such/folder"); }},
      {"ports and box keep their low 16 bits",
       "[MFPInfo]\nhttpPortNumber=70000\nSearchPortNumber=-1\n[SettingInfo]\nboxIndex=65537\n",
       [] {
         EXPECT_EQ(GetMFPInfo().httpPortNumber, 4464);
         EXPECT_EQ(GetMFPInfo().SearchPortNumber, 65535);
         EXPECT_EQ(GetSettingInfo().boxIndex, 1);
       }},
      {"no range checks", "[SettingInfo]\nColorFormat=7\n",
       [] { EXPECT_EQ(GetSettingInfo().ColorFormat, 7); }},
      {"missing keys keep their defaults", "[MFPInfo]\nhttpPortNumber=8080\n",
       [] {
         EXPECT_EQ(GetMFPInfo().httpPortNumber, 8080);
         EXPECT_EQ(GetMFPInfo().SearchPortNumber, 61000);
         EXPECT_EQ(GetSettingInfo().DeleteFile, 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetSettingInfo(SettingInfo());
    SetMFPInfo(MFPInfo());
    WriteSettings(c.ini);
    StartUp();
    c.check();
  }
}

TEST_F(SettingsTest, PasswordIsStoredAsAScrambledNumber) {
  struct Case {
    const char16_t* password;
    const char16_t* stored;  // empty: nothing can be stored for it
  };
  const Case cases[] = {
      {u"1", u"24106"},    {u"0001", u"24106"}, {u"1234", u"23289"}, {u"9999", u"31012"},
      {u"0", u"24107"},    {u"", u""},          {u"12a", u""},       {u"abc", u""},
      {u"-5", u""},        {u" 1", u""},        {u"99999999999", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsi(c.password));
    EXPECT_EQ(ScramblePassword(c.password), c.stored);
  }
  EXPECT_EQ(UnscramblePassword(u"24106"), u"1");
  EXPECT_EQ(UnscramblePassword(u"31012"), u"9999");
  // Nothing a password of one to four digits was stored as: the last two
  // come back as five digits.
  for (const char16_t* garbled : {u"", u"xyz", u"-5", u"24106abc", u"99999999999", u"0", u"65535"}) {
    EXPECT_EQ(UnscramblePassword(garbled), u"") << ToAnsi(garbled);
  }
}

TEST_F(SettingsTest, RememberedPasswordLosesItsLeadingZeros) {
  SetPasswordInfo({u"0001", TRUE});
  ASSERT_TRUE(Exit());
  EXPECT_NE(ReadSettings().find("savePassword=1\r\npassword=24106\r\n"), std::string::npos);
  SetPasswordInfo(PasswordInfo());
  StartUp();
  EXPECT_EQ(GetPasswordInfo().password, u"1");
  EXPECT_EQ(GetPasswordInfo().savePassword, TRUE);
}

TEST_F(SettingsTest, PasswordIsNotReadOrKeptUnlessRemembered) {
  WriteSettings("[PasswordInfo]\nsavePassword=0\npassword=24106\n");
  StartUp();
  EXPECT_EQ(GetPasswordInfo().password, u"");
  // A password typed during the run is not written while remembering is off.
  SetPasswordInfo({u"1234", FALSE});
  ASSERT_TRUE(Exit());
  EXPECT_NE(ReadSettings().find("savePassword=0\r\npassword=\r\n"), std::string::npos);
  EXPECT_EQ(ReadSettings().find("24106"), std::string::npos);
}

// Remembering on, but the stored password does not decode to one to four
// digits (a file edited by hand, or damaged): no password is remembered, so
// that it is asked for as on a first use, and the next exit says so.
TEST_F(SettingsTest, RememberedPasswordThatIsNoPasswordIsNotRemembered) {
  struct Case {
    const char* name;
    const char* stored;
    const char16_t* password;  // empty: none remembered
  };
  const Case cases[] = {
      {"missing", "", u""},
      {"empty", "password=\n", u""},
      {"five digits", "password=0\n", u""},  // 24107
      {"five digits, the largest mask", "password=65535\n", u""},
      {"letters", "password=abcd\n", u""},
      {"digits, then letters", "password=24106abc\n", u""},
      {"decodes to a sign and digits", "password=-1\n", u""},  // -24108 as the mask reads it
      {"beyond any number", "password=99999999999\n", u""},
      {"a valid one is kept", "password=23289\n", u"1234"},
      {"a quoted valid one is kept", "password=\"24106\"\n", u"1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetPasswordInfo(PasswordInfo());
    WriteSettings(std::string("[PasswordInfo]\nsavePassword=1\n") + c.stored);
    StartUp();
    const bool remembered = *c.password != u'\0';
    EXPECT_EQ(GetPasswordInfo().password, c.password);
    EXPECT_EQ(GetPasswordInfo().savePassword, remembered ? TRUE : FALSE);
    ASSERT_TRUE(Exit());
    const char* written = remembered ? "savePassword=1\r\npassword=" : "savePassword=0\r\npassword=\r\n";
    EXPECT_NE(ReadSettings().find(written), std::string::npos);
  }
}

// Remembering on with a password that cannot be stored (the dialog takes
// an empty one): nothing is remembered in the file.
TEST_F(SettingsTest, PasswordThatCannotBeStoredIsNotRemembered) {
  for (const char16_t* password : {u"", u"12345"}) {
    SCOPED_TRACE(ToAnsi(password));
    SetPasswordInfo({password, TRUE});
    ASSERT_TRUE(Exit());
    EXPECT_NE(ReadSettings().find("savePassword=0\r\npassword=\r\n"), std::string::npos);
  }
}

TEST_F(SettingsTest, FailedWriteIsReportedOnceAndNothingIsWritten) {
  folder_.Write("blocker", "not a folder");
  const WString paths[] = {
      folder_.Wide("blocker/tallowmere.ini"),  // the settings folder is a file
      folder_.Wide("missing/tallowmere.ini"),  // the settings folder was never made
      u"/proc/tallowmere.ini",                 // not even root may write here
      u"",                                     // no settings file was named
  };
  for (const WString& path : paths) {
    SCOPED_TRACE(ToAnsi(path));
    boxes_.shown.clear();
    SetAppProfilePath(path);
    EXPECT_FALSE(Exit());
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].owner, nullptr);
    EXPECT_EQ(boxes_.shown[0].text, u"Failed to save the file.");
    EXPECT_EQ(boxes_.shown[0].caption, u"Save");
    EXPECT_EQ(boxes_.shown[0].type, MB_ICONERROR);
  }
  EXPECT_EQ(folder_.Read("blocker"), "not a folder");
  EXPECT_FALSE(folder_.Exists("missing"));
}

// A value the file cannot hold (a line break would begin a line of its
// own) costs no other key: every other key is written, the value keeps what
// the file held, the failure is reported once, and the file reads back right.
TEST_F(SettingsTest, AValueThatCannotBeWrittenCostsNoOtherKey) {
  using Field = std::function<void(MFPInfo&, SettingInfo&, const WString&)>;
  struct Case {
    const char* name;
    Field field;
    WString value;  // cannot be written
    WString old;    // what the file held
    const char* line;
  };
  const Field firstKey = [](MFPInfo& m, SettingInfo&, const WString& v) { m.machineName = v; };
  const Field address = [](MFPInfo& m, SettingInfo&, const WString& v) { m.SpecifiedIPAddress = v; };
  const Field folder = [](MFPInfo&, SettingInfo& s, const WString& v) { s.folderPath = v; };
  const Case cases[] = {
      {"the first key", firstKey, u"two\r\nlines", u"Old MFP", "\r\nmachineName=Old MFP\r\n"},
      {"the typed address", address, u"host\n", u"old.host", "\r\nSpecifiedIPAddress=old.host\r\n"},
      {"the folder", folder, u"/srv/two\nlines", u"/srv/old", "\r\nfolderPath=/srv/old\r\n"},
      {"the folder, a CR", folder, u"/srv/cr\r", u"/srv/old", "\r\nfolderPath=/srv/old\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteSettings(
        "[MFPInfo]\nmachineName=Old MFP\nSpecifiedIPAddress=old.host\n"
        "[SettingInfo]\nfolderPath=/srv/old\n");
    MFPInfo m = SampleMfpInfo();
    SettingInfo s = SampleSettingInfo();
    c.field(m, s, c.value);
    SetMFPInfo(m);
    SetSettingInfo(s);
    SetPasswordInfo({u"1234", TRUE});
    boxes_.shown.clear();
    EXPECT_FALSE(Exit());
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, u"Failed to save the file.");
    const std::string file = ReadSettings();
    EXPECT_NE(file.find(c.line), std::string::npos) << file;

    // Every other key reads back as it was set; the spoilt one as the file held it.
    StartAgain();
    c.field(m, s, c.old);
    ExpectCurrent(s, m);
    EXPECT_EQ(GetPasswordInfo().password, u"1234");
    EXPECT_EQ(GetPasswordInfo().savePassword, TRUE);
  }
}

// The file takes a text that it can write, and keeps one that a write and a
// read give back as it was.
TEST_F(SettingsTest, TheFileKeepsExactlyTheTextsThatComeBackAsTheyWere) {
  const WString longest(kAppProfileValueUnits, u'x');
  const WString tooLong(kAppProfileValueUnits + 1, u'x');
  const WString texts[] = {
      u"",           u"/home/u/Scans",  u"/srv/a b/\u00C9t\u00E9", u"/srv/two\nlines",
      u"/srv/cr\r",  u"\r\n",          u"/srv/blank at end ",     u" blank in front",
      u"/srv/tab\t", u"/srv/\x1A",      u"/srv/\x0B",              u"mid\tdle blanks",
      u"'quoted'",   u"\"quoted\"",     u"'one quote",             u"\"",
      u"'mixed\"",   u"x=y",            u"; not a comment",        u"[not a section]",
      longest,       tooLong,
  };
  for (const WString& text : texts) {
    SCOPED_TRACE(ToAnsi(text));
    WriteSettings("");
    const bool written = WriteAppProfileString(u"S", u"k", text.c_str()) != FALSE;
    EXPECT_EQ(written, SettingsFileTakes(text));
    const bool back = written && GetAppProfileString(u"S", u"k", u"<none>") == text;
    EXPECT_EQ(back, SettingsFileKeeps(text));
  }
}

}  // namespace
}  // namespace tallow::test
