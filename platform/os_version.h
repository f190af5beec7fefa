// The operating-system version answers that the other system's version and
// WOW64 queries give. This platform answers as an NT-family workstation of
// the newest family, running natively; tests may put answers of their own.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/result.h"

namespace tallow {

using WORD = std::uint16_t;
using BYTE = std::uint8_t;

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

inline constexpr BYTE VER_NT_WORKSTATION = 1;
inline constexpr BYTE VER_NT_DOMAIN_CONTROLLER = 2;
inline constexpr BYTE VER_NT_SERVER = 3;

inline constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
inline constexpr WORD PROCESSOR_ARCHITECTURE_ARM = 5;
inline constexpr WORD PROCESSOR_ARCHITECTURE_IA64 = 6;
inline constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
inline constexpr WORD PROCESSOR_ARCHITECTURE_IA32_ON_WIN64 = 10;
inline constexpr WORD PROCESSOR_ARCHITECTURE_ARM64 = 12;
inline constexpr WORD PROCESSOR_ARCHITECTURE_UNKNOWN = 0xFFFF;

// The basic and the extended version record; the caller sets the size field
// to the size of the record it passes.
struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  char16_t szCSDVersion[128];
};

struct OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  char16_t szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};

struct SYSTEM_INFO {
  WORD wProcessorArchitecture;
  WORD wReserved;
  DWORD dwPageSize;
  DWORD dwNumberOfProcessors;
};

// FALSE with ERROR_INSUFFICIENT_BUFFER when the size field does not match.
BOOL GetVersionExW(OSVERSIONINFOW* info);
BOOL GetVersionExW(OSVERSIONINFOEXW* info);

// The system's own processor; false (|info| untouched) when the system has
// no such query, in which case GetSystemInfo is what is left.
bool GetNativeSystemInfo(SYSTEM_INFO* info);
// The processor as the running process sees it.
void GetSystemInfo(SYSTEM_INFO* info);

// Whether the current process is a 32-bit one on a 64-bit system. FALSE with
// ERROR_PROC_NOT_FOUND when the system has no such query, FALSE with another
// error when the query fails.
BOOL IsWow64Process(BOOL* wow64);

// Everything the queries above answer.
struct OsVersionAnswers {
  bool versionQuerySucceeds = true;
  DWORD platformId = VER_PLATFORM_WIN32_NT;
  DWORD majorVersion = 10;
  DWORD minorVersion = 0;
  DWORD buildNumber = 0;
  BYTE productType = VER_NT_WORKSTATION;

  bool hasNativeSystemInfo = true;
  WORD nativeArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
  WORD processArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;

  bool hasIsWow64Process = true;
  bool isWow64ProcessSucceeds = true;
  BOOL wow64 = FALSE;
};

// The answers of this machine: the fields' defaults, with the processor
// architecture of the machine and of this build.
OsVersionAnswers RealOsVersionAnswers();

// std::nullopt restores the real answers.
void SetOsVersionAnswersForTests(std::optional<OsVersionAnswers> answers);

}  // namespace tallow
