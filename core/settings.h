// The user's settings: three records, one process-wide current copy of each,
// and AppSettings, which moves them between the current copies and the INI
// settings file (platform/app_profile.h names the file).
#pragma once

#include <cstdint>

#include "platform/result.h"
#include "platform/text.h"

namespace tallow {

// How and where to save.
struct SettingInfo {
  // Asks for the desktop folder each time; copies do not.
  SettingInfo();

  WString machineName;            // display name of the chosen MFP
  std::uint16_t boxIndex = 1;     // 1-based: entry 0 of the box list is the root
  WString folderPath;             // destination folder; the desktop, empty when unknown
  int ColorFormat = 0;            // 0 PDF, 1 JPEG
  int MonoFormat = 0;             // 0 PDF, 1 TIFF
  int DeleteFile = 1;             // delete the document on the MFP after saving it
  int SimpleMode = 0;             // 0 Advanced Mode, 1 Simple Mode
};

// Which MFP and how to reach it.
struct MFPInfo {
  WString machineName;
  WString IPv4Address;            // dotted-decimal
  WString deviceInternalName;     // a USB MFP's name in the still-image service
  BOOL isUSB = FALSE;
  BOOL isSpecifiedIPAddress = FALSE;  // the user typed an address or host name
  WString SpecifiedIPAddress;
  std::uint16_t httpPortNumber = 80;
  std::uint16_t SearchPortNumber = 61000;
  BOOL isNotShowDlg = FALSE;      // skip the MFP selection dialog at start-up
};

// A box password is at most this many decimal digits.
inline constexpr int kPasswordMaxDigits = 4;

// The box password (decimal digits, plain in memory) and whether to keep it.
struct PasswordInfo {
  WString password;
  BOOL savePassword = FALSE;
};

// The current copies, always read and written as whole records; any thread
// may do so.
void SetSettingInfo(const SettingInfo& info);
SettingInfo GetSettingInfo();
void SetMFPInfo(const MFPInfo& info);
MFPInfo GetMFPInfo();
void SetPasswordInfo(const PasswordInfo& info);
PasswordInfo GetPasswordInfo();

// The desktop folder, or empty when it cannot be had.
WString GetDesktopFolder();

// The password as it is stored: the number XORed with 0x5E2B, in decimal.
// Only a password of one to kPasswordMaxDigits decimal digits can be stored;
// for any other the result is empty, so that no other number is stored in
// its place.
WString ScramblePassword(WStringView password);
// The password back from its stored form; empty for a text that no such
// password was stored as (a file edited by hand or damaged).
WString UnscramblePassword(WStringView stored);

// Whether the settings file can take |text| as a value: a line break cannot
// be written.
bool SettingsFileTakes(WStringView text);
// Whether it also gives |text| back as it is at the next start: a read drops
// blanks at either end and quotes around a value, and cuts a long one.
bool SettingsFileKeeps(WStringView text);

class AppSettings {
 public:
  // Each record refreshed from its current copy, then a copy of it.
  SettingInfo GetSettingInfo();
  MFPInfo GetMFPInfo();
  PasswordInfo GetPasswordInfo();

  // Reads the settings file into the records (a missing key leaves its field
  // as it is), then publishes them as the current copies. A remembered
  // password that is not one is loaded as none remembered.
  void Load();
  // Writes the current copies to the settings file, every key even when one
  // cannot be written; a failure is reported once in a message box ("Failed
  // to save the file."), and false then.
  bool Save();

 private:
  SettingInfo m_settingInfo;
  MFPInfo m_mfpInfo;
  PasswordInfo m_passwordInfo;
};

}  // namespace tallow
