#include "core/os_info.h"

#include "platform/os_version.h"

namespace tallow {

namespace {

std::uint32_t ClassifyWindows9x(const OSVERSIONINFOW& v, std::uint32_t previous) {
  if (v.dwMajorVersion != 4) return previous;
  const DWORD build = v.dwBuildNumber;  // the whole field, unsigned
  if (v.dwMinorVersion < 10) return build > 950 ? 0x102 : 0x101;
  if (v.dwMinorVersion < 90) return build > 1998 ? 0x108 : 0x104;
  return 0x110;
}

std::uint32_t ClassifyNT(const OSVERSIONINFOW& v) {
  const DWORD major = v.dwMajorVersion;
  const DWORD minor = v.dwMinorVersion;
  const bool server = IsServerOs() != FALSE;
  if (major <= 3) return 0x201;
  if (major == 4) return server ? 0x602 : 0x202;
  if (major == 5 && minor == 0) return server ? 0x604 : 0x204;
  if (major == 5 && minor == 1) return 0x208;
  if (major == 5 && minor == 2) {
    // The workstation of this step only exists as a 64-bit edition.
    if (!server) return 0xA08;
    return IsWow64() ? 0xE08 : 0x608;
  }
  std::uint32_t code = 0x210;
  if (server) code |= kOsServer;
  if (IsWow64()) code |= kOsWow64;
  return code;
}

}  // namespace

HRESULT GetOsInfo(OsInfo& info) {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExW(&version)) {
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
      info.osCode = ClassifyWindows9x(version, info.osCode);
    } else {
      info.osCode = ClassifyNT(version);
    }
  }

  SYSTEM_INFO system{};
  if (!GetNativeSystemInfo(&system)) GetSystemInfo(&system);

  BOOL wow64 = FALSE;
  if (IsWow64Process(&wow64) && wow64) {
    switch (system.wProcessorArchitecture) {
      case PROCESSOR_ARCHITECTURE_IA64: info.arch = 3; break;
      case PROCESSOR_ARCHITECTURE_AMD64:
      case PROCESSOR_ARCHITECTURE_IA32_ON_WIN64: info.arch = 2; break;
      default: break;
    }
  } else {
    info.arch = 1;
  }
  return S_OK;
}

BOOL IsWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(&wow64) && wow64 ? TRUE : FALSE;
}

BOOL IsServerOs() {
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                 version.wProductType != VER_NT_WORKSTATION
             ? TRUE
             : FALSE;
}

}  // namespace tallow
