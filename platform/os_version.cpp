#include "platform/os_version.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string_view>

namespace tallow {

namespace {

std::mutex g_answersLock;
std::optional<OsVersionAnswers> g_answers;

WORD ArchitectureOfMachine(std::string_view machine) {
  if (machine == "x86_64" || machine == "amd64") return PROCESSOR_ARCHITECTURE_AMD64;
  if (machine == "aarch64" || machine == "arm64") return PROCESSOR_ARCHITECTURE_ARM64;
  if (machine == "ia64") return PROCESSOR_ARCHITECTURE_IA64;
  if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") {
    return PROCESSOR_ARCHITECTURE_INTEL;
  }
  if (machine.substr(0, 3) == "arm") return PROCESSOR_ARCHITECTURE_ARM;
  return PROCESSOR_ARCHITECTURE_UNKNOWN;
}

constexpr WORD ArchitectureOfBuild() {
#if defined(__x86_64__)
  return PROCESSOR_ARCHITECTURE_AMD64;
#elif defined(__aarch64__)
  return PROCESSOR_ARCHITECTURE_ARM64;
#elif defined(__i386__)
  return PROCESSOR_ARCHITECTURE_INTEL;
#elif defined(__arm__)
  return PROCESSOR_ARCHITECTURE_ARM;
#elif defined(__ia64__)
  return PROCESSOR_ARCHITECTURE_IA64;
#else
  return PROCESSOR_ARCHITECTURE_UNKNOWN;
#endif
}

OsVersionAnswers Answers() {
  std::lock_guard<std::mutex> lock(g_answersLock);
  if (g_answers) return *g_answers;
  static const OsVersionAnswers real = RealOsVersionAnswers();
  return real;
}

template <typename Record>
BOOL FillVersion(Record* info, const OsVersionAnswers& a) {
  if (!info || info->dwOSVersionInfoSize != sizeof(Record)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (!a.versionQuerySucceeds) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->dwMajorVersion = a.majorVersion;
  info->dwMinorVersion = a.minorVersion;
  info->dwBuildNumber = a.buildNumber;
  info->dwPlatformId = a.platformId;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  return TRUE;
}

void FillSystemInfo(SYSTEM_INFO* info, WORD architecture) {
  *info = SYSTEM_INFO{};
  info->wProcessorArchitecture = architecture;
  long page = ::sysconf(_SC_PAGESIZE);
  long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
  info->dwPageSize = page > 0 ? static_cast<DWORD>(page) : 4096;
  info->dwNumberOfProcessors = cpus > 0 ? static_cast<DWORD>(cpus) : 1;
}

}  // namespace

OsVersionAnswers RealOsVersionAnswers() {
  OsVersionAnswers a;
  a.processArchitecture = ArchitectureOfBuild();
  utsname u{};
  a.nativeArchitecture =
      ::uname(&u) == 0 ? ArchitectureOfMachine(u.machine) : a.processArchitecture;
  return a;
}

BOOL GetVersionExW(OSVERSIONINFOW* info) { return FillVersion(info, Answers()); }

BOOL GetVersionExW(OSVERSIONINFOEXW* info) {
  OsVersionAnswers a = Answers();
  if (!FillVersion(info, a)) return FALSE;
  info->wServicePackMajor = 0;
  info->wServicePackMinor = 0;
  info->wSuiteMask = 0;
  info->wProductType = a.productType;
  info->wReserved = 0;
  return TRUE;
}

bool GetNativeSystemInfo(SYSTEM_INFO* info) {
  OsVersionAnswers a = Answers();
  if (!a.hasNativeSystemInfo || !info) return false;
  FillSystemInfo(info, a.nativeArchitecture);
  return true;
}

void GetSystemInfo(SYSTEM_INFO* info) {
  if (info) FillSystemInfo(info, Answers().processArchitecture);
}

BOOL IsWow64Process(BOOL* wow64) {
  OsVersionAnswers a = Answers();
  if (!a.hasIsWow64Process) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
  }
  if (!wow64 || !a.isWow64ProcessSucceeds) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *wow64 = a.wow64;
  return TRUE;
}

void SetOsVersionAnswersForTests(std::optional<OsVersionAnswers> answers) {
  std::lock_guard<std::mutex> lock(g_answersLock);
  g_answers = answers;
}

}  // namespace tallow
