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
  SettingInfo s;
  s.machineName = u"Front office MFP";
  s.boxIndex = 65535;
  s.folderPath = u"/srv/scans/Ünïcode folder";
  s.ColorFormat = 1;
  s.MonoFormat = 1;
  s.DeleteFile = 0;
  s.SimpleMode = 1;
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
  PasswordInfo p;
  p.password = u"4321";
  p.savePassword = TRUE;
  SetSettingInfo(s);
  SetMFPInfo(m);
  SetPasswordInfo(p);
  ASSERT_TRUE(Exit());
  // The 16-bit fields are written as their unsigned value.
  EXPECT_NE(ReadSettings().find("httpPortNumber=65535\r\n"), std::string::npos);

  SetSettingInfo(SettingInfo());
  SetMFPInfo(MFPInfo());
  SetPasswordInfo(PasswordInfo());
  StartUp();
  const SettingInfo s2 = GetSettingInfo();
  EXPECT_EQ(s2.machineName, s.machineName);
  EXPECT_EQ(s2.boxIndex, s.boxIndex);
  EXPECT_EQ(s2.folderPath, s.folderPath);
  EXPECT_EQ(s2.ColorFormat, 1);
  EXPECT_EQ(s2.MonoFormat, 1);
  EXPECT_EQ(s2.DeleteFile, 0);
  EXPECT_EQ(s2.SimpleMode, 1);
  const MFPInfo m2 = GetMFPInfo();
  EXPECT_EQ(m2.machineName, m.machineName);
  EXPECT_EQ(m2.IPv4Address, m.IPv4Address);
  EXPECT_EQ(m2.deviceInternalName, m.deviceInternalName);
  EXPECT_EQ(m2.isUSB, TRUE);
  EXPECT_EQ(m2.isSpecifiedIPAddress, TRUE);
  EXPECT_EQ(m2.SpecifiedIPAddress, m.SpecifiedIPAddress);
  EXPECT_EQ(m2.httpPortNumber, 65535);
  EXPECT_EQ(m2.SearchPortNumber, 0);
  EXPECT_EQ(m2.isNotShowDlg, TRUE);
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
  for (const char16_t* garbled : {u"", u"xyz", u"-5", u"24106abc", u"99999999999"}) {
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

  // Remembered, but nothing usable stored: no password.
  for (const char* stored : {"", "password=\n", "password=xyz\n", "password=-5\n"}) {
    SCOPED_TRACE(stored);
    SetPasswordInfo(PasswordInfo());
    WriteSettings(std::string("[PasswordInfo]\nsavePassword=1\n") + stored);
    StartUp();
    EXPECT_EQ(GetPasswordInfo().password, u"");
    EXPECT_EQ(GetPasswordInfo().savePassword, TRUE);
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

TEST_F(SettingsTest, SaveStopsAtTheFirstFailedKey) {
  MFPInfo m;
  m.machineName = u"MFP";
  m.SpecifiedIPAddress = u"two\nlines";  // cannot be written as one line
  SetMFPInfo(m);
  EXPECT_FALSE(Exit());
  EXPECT_EQ(boxes_.shown.size(), 1u);
  // What came before stays; nothing after it was written.
  EXPECT_EQ(ReadSettings(),
            "[MFPInfo]\r\nmachineName=MFP\r\nIPv4Address=\r\ndeviceInternalName=\r\nisUSB=0\r\n"
            "isSpecifiedIPAddress=0\r\n");
}

}  // namespace
}  // namespace tallow::test
