#include "core/settings.h"

#include <climits>
#include <mutex>
#include <optional>

#include "core/texts.h"
#include "platform/app_profile.h"
#include "platform/desktop_folder.h"
#include "platform/message_box.h"
#include "platform/profile.h"

namespace tallow {

namespace {

constexpr char16_t kMfpSection[] = u"MFPInfo";
constexpr char16_t kSettingSection[] = u"SettingInfo";
constexpr char16_t kPasswordSection[] = u"PasswordInfo";

constexpr std::int32_t kPasswordMask = 0x5E2B;

constexpr std::int32_t kFailedToSaveText = 21005;  // "Failed to save the file."
constexpr std::int32_t kSaveCaption = 20002;       // "Save"

struct CurrentCopies {
  std::mutex lock;
  SettingInfo setting;  // CurrentSettingInfo
  MFPInfo mfp;          // CurrentMFPInfo
  PasswordInfo password;  // CurrentPasswordInfo
};

CurrentCopies& Current() {
  static CurrentCopies copies;
  return copies;
}

// A non-empty run of decimal digits whose value fits a signed 32-bit int.
std::optional<std::int32_t> ParseDigits(WStringView text) {
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > INT32_MAX) return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

WString Decimal(std::int32_t value) { return FromAnsi(Format("%d", static_cast<int>(value))); }

}  // namespace

SettingInfo::SettingInfo() : folderPath(GetDesktopFolder()) {}

namespace {

// The current copies are read and written only as whole records, under the lock.
template <class Record>
void Publish(Record CurrentCopies::*field, const Record& value) {
  CurrentCopies& c = Current();
  std::lock_guard<std::mutex> lock(c.lock);
  c.*field = value;
}

template <class Record>
Record Snapshot(Record CurrentCopies::*field) {
  CurrentCopies& c = Current();
  std::lock_guard<std::mutex> lock(c.lock);
  return c.*field;
}

}  // namespace

void SetSettingInfo(const SettingInfo& info) { Publish(&CurrentCopies::setting, info); }
SettingInfo GetSettingInfo() { return Snapshot(&CurrentCopies::setting); }
void SetMFPInfo(const MFPInfo& info) { Publish(&CurrentCopies::mfp, info); }
MFPInfo GetMFPInfo() { return Snapshot(&CurrentCopies::mfp); }
void SetPasswordInfo(const PasswordInfo& info) { Publish(&CurrentCopies::password, info); }
PasswordInfo GetPasswordInfo() { return Snapshot(&CurrentCopies::password); }

WString GetDesktopFolder() {
  WString path;
  if (!GetDesktopDirectory(path)) path.clear();
  return path;
}

// The mask changes only the low 16 bits, so a non-negative number stays
// non-negative both ways, and the same step undoes itself.
WString ScramblePassword(WStringView password) {
  if (password.size() > static_cast<std::size_t>(kPasswordMaxDigits)) return {};
  const std::optional<std::int32_t> value = ParseDigits(password);
  if (!value) return {};
  return Decimal(*value ^ kPasswordMask);
}

WString UnscramblePassword(WStringView stored) {
  const std::optional<std::int32_t> value = ParseDigits(stored);
  if (!value) return {};
  WString password = Decimal(*value ^ kPasswordMask);
  if (password.size() > static_cast<std::size_t>(kPasswordMaxDigits)) return {};
  return password;
}

bool SettingsFileTakes(WStringView text) { return IsWritableProfileValue(text); }

bool SettingsFileKeeps(WStringView text) {
  return ProfileReadsBack(text) && text.size() <= kAppProfileValueUnits;
}

SettingInfo AppSettings::GetSettingInfo() {
  m_settingInfo = tallow::GetSettingInfo();
  return m_settingInfo;
}

MFPInfo AppSettings::GetMFPInfo() {
  m_mfpInfo = tallow::GetMFPInfo();
  return m_mfpInfo;
}

PasswordInfo AppSettings::GetPasswordInfo() {
  m_passwordInfo = tallow::GetPasswordInfo();
  return m_passwordInfo;
}

void AppSettings::Load() {
  auto text = [](const char16_t* section, const char16_t* key, const WString& current) {
    return GetAppProfileString(section, key, current.c_str());
  };
  auto number = [](const char16_t* section, const char16_t* key, int current) {
    return GetAppProfileInt(section, key, current);
  };

  MFPInfo& m = m_mfpInfo;
  m.machineName = text(kMfpSection, u"machineName", m.machineName);
  m.IPv4Address = text(kMfpSection, u"IPv4Address", m.IPv4Address);
  m.deviceInternalName = text(kMfpSection, u"deviceInternalName", m.deviceInternalName);
  m.SpecifiedIPAddress = text(kMfpSection, u"SpecifiedIPAddress", m.SpecifiedIPAddress);
  m.isUSB = static_cast<BOOL>(number(kMfpSection, u"isUSB", m.isUSB));
  m.isSpecifiedIPAddress =
      static_cast<BOOL>(number(kMfpSection, u"isSpecifiedIPAddress", m.isSpecifiedIPAddress));
  // Ports keep the low 16 bits of what is stored.
  m.httpPortNumber = static_cast<std::uint16_t>(number(kMfpSection, u"httpPortNumber", m.httpPortNumber));
  m.SearchPortNumber =
      static_cast<std::uint16_t>(number(kMfpSection, u"SearchPortNumber", m.SearchPortNumber));
  m.isNotShowDlg = static_cast<BOOL>(number(kMfpSection, u"isNotShowDlg", m.isNotShowDlg));

  SettingInfo& s = m_settingInfo;
  s.boxIndex = static_cast<std::uint16_t>(number(kSettingSection, u"boxIndex", s.boxIndex));
  s.machineName = text(kSettingSection, u"machineName", s.machineName);
  // An empty or missing folder keeps the desktop.
  WString folder = GetAppProfileString(kSettingSection, u"folderPath", u"");
  if (!folder.empty()) s.folderPath = std::move(folder);
  s.ColorFormat = static_cast<int>(number(kSettingSection, u"ColorFormat", s.ColorFormat));
  s.MonoFormat = static_cast<int>(number(kSettingSection, u"MonoFormat", s.MonoFormat));
  s.DeleteFile = static_cast<int>(number(kSettingSection, u"DeleteFile", s.DeleteFile));
  s.SimpleMode = static_cast<int>(number(kSettingSection, u"SimpleMode", s.SimpleMode));

  PasswordInfo& p = m_passwordInfo;
  p.savePassword = static_cast<BOOL>(number(kPasswordSection, u"savePassword", p.savePassword));
  // A stored password counts only while remembering is on. A missing, empty
  // or garbled one is no password: remembering it would send it to every
  // protected box, so remembering goes off and the password is asked for.
  if (p.savePassword) {
    p.password = UnscramblePassword(GetAppProfileString(kPasswordSection, u"password", u""));
    if (p.password.empty()) p.savePassword = FALSE;
  }

  tallow::SetSettingInfo(s);
  tallow::SetMFPInfo(m);
  tallow::SetPasswordInfo(p);
}

bool AppSettings::Save() {
  GetSettingInfo();
  GetMFPInfo();
  GetPasswordInfo();
  const MFPInfo& m = m_mfpInfo;
  const SettingInfo& s = m_settingInfo;
  const PasswordInfo& p = m_passwordInfo;

  // One key that cannot be written costs no other: every key is written in
  // the keys' order, and a failure is reported once.
  bool saved = true;
  auto text = [&saved](const char16_t* section, const char16_t* key, const WString& value) {
    if (!WriteAppProfileString(section, key, value.c_str())) saved = false;
  };
  auto number = [&saved](const char16_t* section, const char16_t* key, int value) {
    if (!WriteAppProfileInt(section, key, value)) saved = false;
  };
  // Without remembering, the key is emptied so that no password stays in the
  // file; a password that cannot be stored is not remembered either.
  const WString password = p.savePassword ? ScramblePassword(p.password) : WString();
  const BOOL remember = password.empty() ? FALSE : p.savePassword;

  text(kMfpSection, u"machineName", m.machineName);
  text(kMfpSection, u"IPv4Address", m.IPv4Address);
  text(kMfpSection, u"deviceInternalName", m.deviceInternalName);
  number(kMfpSection, u"isUSB", m.isUSB);
  number(kMfpSection, u"isSpecifiedIPAddress", m.isSpecifiedIPAddress);
  text(kMfpSection, u"SpecifiedIPAddress", m.SpecifiedIPAddress);
  number(kMfpSection, u"httpPortNumber", m.httpPortNumber);
  number(kMfpSection, u"SearchPortNumber", m.SearchPortNumber);
  number(kMfpSection, u"isNotShowDlg", m.isNotShowDlg);
  text(kSettingSection, u"machineName", s.machineName);
  number(kSettingSection, u"boxIndex", s.boxIndex);
  text(kSettingSection, u"folderPath", s.folderPath);
  number(kSettingSection, u"ColorFormat", s.ColorFormat);
  number(kSettingSection, u"MonoFormat", s.MonoFormat);
  number(kSettingSection, u"DeleteFile", s.DeleteFile);
  number(kSettingSection, u"SimpleMode", s.SimpleMode);
  number(kPasswordSection, u"savePassword", remember);
  text(kPasswordSection, u"password", password);
  if (!saved) {
    const WString message = MessageText(kFailedToSaveText);
    const WString caption = MessageText(kSaveCaption);
    MessageBoxW(nullptr, message.c_str(), caption.c_str(), MB_ICONERROR);
  }
  return saved;
}

}  // namespace tallow
