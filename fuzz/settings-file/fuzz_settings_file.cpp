// Any bytes as the settings file at start-up: loading never fails and
// remembers only a password of one to four digits; what it loaded an exit
// writes whole, and the next start reads again as it was, every text that the
// file keeps included.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/settings.h"
#include "platform/app_profile.h"
#include "scratch_folder.h"

namespace {

using tallow::AppSettings;
using tallow::MFPInfo;
using tallow::PasswordInfo;
using tallow::SettingInfo;
using tallow::WString;

// Larger files are not read; what a file of any size does to the profile has
// its own fuzzer.
constexpr std::size_t kMaxInput = 64 * 1024;

const std::string& SettingsFile() {
  static const std::string path = [] {
    // An exit writes the file once per key, each write synced to the disk:
    // a folder in memory, where there is one, keeps the runs quick.
    if (::access("/dev/shm", W_OK | X_OK) == 0) ::setenv("TMPDIR", "/dev/shm", 0);
    const std::string& folder = fuzz::ScratchFolder("settings-file");
    // The desktop default comes from the home folder, not the machine's.
    ::setenv("HOME", folder.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    std::string file = folder + "/tallowmere.ini";
    tallow::SetAppProfilePath(tallow::FromAnsi(file));
    return file;
  }();
  return path;
}

struct Loaded {
  SettingInfo setting;
  MFPInfo mfp;
  PasswordInfo password;
};

// Start-up: fresh current copies, then the file.
Loaded StartUp() {
  tallow::SetSettingInfo(SettingInfo());
  tallow::SetMFPInfo(MFPInfo());
  tallow::SetPasswordInfo(PasswordInfo());
  AppSettings().Load();
  return {tallow::GetSettingInfo(), tallow::GetMFPInfo(), tallow::GetPasswordInfo()};
}

void Check(bool holds) {
  if (!holds) std::abort();
}

// A text the file keeps comes back as it was.
void CheckText(const WString& first, const WString& again) {
  if (tallow::SettingsFileKeeps(first)) Check(first == again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return 0;
  const std::string& file = SettingsFile();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Check(out.good());
  }

  const Loaded first = StartUp();
  const PasswordInfo& p = first.password;
  if (p.savePassword) {
    const auto digits = static_cast<std::size_t>(tallow::kPasswordMaxDigits);
    Check(!p.password.empty() && p.password.size() <= digits);
    for (char16_t c : p.password) Check(c >= u'0' && c <= u'9');
  } else {
    Check(p.password.empty());
  }

  // No value read from a line holds a line break: every key is written.
  Check(AppSettings().Save());
  const Loaded again = StartUp();

  Check(again.password.savePassword == p.savePassword && again.password.password == p.password);
  const MFPInfo& m = first.mfp;
  const MFPInfo& m2 = again.mfp;
  CheckText(m.machineName, m2.machineName);
  CheckText(m.IPv4Address, m2.IPv4Address);
  CheckText(m.deviceInternalName, m2.deviceInternalName);
  CheckText(m.SpecifiedIPAddress, m2.SpecifiedIPAddress);
  Check(m.isUSB == m2.isUSB && m.isSpecifiedIPAddress == m2.isSpecifiedIPAddress &&
        m.httpPortNumber == m2.httpPortNumber && m.SearchPortNumber == m2.SearchPortNumber &&
        m.isNotShowDlg == m2.isNotShowDlg);
  const SettingInfo& s = first.setting;
  const SettingInfo& s2 = again.setting;
  CheckText(s.machineName, s2.machineName);
  CheckText(s.folderPath, s2.folderPath);
  Check(s.boxIndex == s2.boxIndex && s.ColorFormat == s2.ColorFormat && s.MonoFormat == s2.MonoFormat &&
        s.DeleteFile == s2.DeleteFile && s.SimpleMode == s2.SimpleMode);
  return 0;
}
