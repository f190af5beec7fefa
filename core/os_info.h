// The operating-system probe that decides whether the Still Image library
// is loaded at start-up.
#pragma once

#include <cstdint>

#include "platform/result.h"

namespace tallow {

// Bits of OsInfo::osCode; its low byte is the version step within a family.
inline constexpr std::uint32_t kOsFamily9x = 0x100;
inline constexpr std::uint32_t kOsFamilyNT = 0x200;
inline constexpr std::uint32_t kOsServer = 0x400;
inline constexpr std::uint32_t kOsWow64 = 0x800;
// A server of the newest NT family, whatever its process width: the USB
// service is not used there.
inline constexpr std::uint32_t kOsNewestNTServer = 0x610;

struct OsInfo {
  std::uint32_t osCode = 0;  // 0: not classified
  // 1: the process runs natively; under WOW64 2 = x64 system, 3 = Itanium;
  // 0: not classified.
  std::uint16_t arch = 0;
};

// Classifies the system into |info|; fields it cannot classify keep their
// values (callers start from 0). Always S_OK.
HRESULT GetOsInfo(OsInfo& info);

// A 32-bit process on a 64-bit system; FALSE when that cannot be asked.
BOOL IsWow64();

// An NT-family system that is not a workstation edition.
BOOL IsServerOs();

// Whether start-up loads the Still Image library for this probe result.
inline bool ShouldLoadStillImage(const OsInfo& info) {
  return (info.osCode & ~kOsWow64) != kOsNewestNTServer;
}

}  // namespace tallow
