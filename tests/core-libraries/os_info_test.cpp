#include "core/os_info.h"

#include <gtest/gtest.h>

#include "platform/os_version.h"

namespace tallow {
namespace {

constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr DWORD kNT = VER_PLATFORM_WIN32_NT;
constexpr BYTE kWorkstation = VER_NT_WORKSTATION;
constexpr BYTE kServer = VER_NT_SERVER;

class OsInfoTest : public ::testing::Test {
 protected:
  void TearDown() override { SetOsVersionAnswersForTests(std::nullopt); }
  static OsVersionAnswers Version(DWORD platform, DWORD major, DWORD minor, DWORD build = 0,
                                  BYTE product = kWorkstation, BOOL wow64 = FALSE) {
    OsVersionAnswers a;
    a.platformId = platform;
    a.majorVersion = major;
    a.minorVersion = minor;
    a.buildNumber = build;
    a.productType = product;
    a.wow64 = wow64;
    a.nativeArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    a.processArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    return a;
  }
};

TEST_F(OsInfoTest, ClassCodeOverTheWholeTable) {
  struct Case {
    OsVersionAnswers answers;
    std::uint32_t osCode;
  };
  const Case cases[] = {
      // Windows 9x family: major 4 only, build compared as unsigned.
      {Version(k9x, 4, 0, 950), 0x101},
      {Version(k9x, 4, 0, 951), 0x102},
      {Version(k9x, 4, 9, 0x80000000u), 0x102},
      {Version(k9x, 4, 10, 1998), 0x104},
      {Version(k9x, 4, 89, 1999), 0x108},
      {Version(k9x, 4, 90, 0), 0x110},
      {Version(k9x, 4, 200, 0), 0x110},
      {Version(k9x, 3, 0, 5000), 0},
      {Version(k9x, 5, 0, 5000), 0},
      // NT family, and any other platform id read as NT.
      {Version(kNT, 3, 51), 0x201},
      {Version(kNT, 0, 0, 0, kServer, TRUE), 0x201},
      {Version(VER_PLATFORM_WIN32s, 3, 10), 0x201},
      {Version(7, 10, 0), 0x210},
      {Version(kNT, 4, 0), 0x202},
      {Version(kNT, 4, 0, 0, kServer), 0x602},
      {Version(kNT, 4, 0, 0, VER_NT_DOMAIN_CONTROLLER), 0x602},
      {Version(kNT, 5, 0), 0x204},
      {Version(kNT, 5, 0, 0, kServer), 0x604},
      {Version(kNT, 5, 1), 0x208},
      {Version(kNT, 5, 1, 0, kServer, TRUE), 0x208},
      {Version(kNT, 5, 2), 0xA08},
      {Version(kNT, 5, 2, 0, kWorkstation, TRUE), 0xA08},
      {Version(kNT, 5, 2, 0, kServer), 0x608},
      {Version(kNT, 5, 2, 0, kServer, TRUE), 0xE08},
      {Version(kNT, 5, 3), 0x210},
      {Version(kNT, 6, 1, 0, kWorkstation, TRUE), 0xA10},
      {Version(kNT, 6, 0, 0, kServer), 0x610},
      {Version(kNT, 6, 1, 0, kServer, TRUE), 0xE10},
      {Version(kNT, 10, 0, 19045), 0x210},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "platform " << c.answers.platformId << " "
                                      << c.answers.majorVersion << "." << c.answers.minorVersion);
    SetOsVersionAnswersForTests(c.answers);
    OsInfo info;
    EXPECT_EQ(GetOsInfo(info), S_OK);
    EXPECT_EQ(info.osCode, c.osCode);
    // Only a server of the newest NT family goes without the USB library.
    EXPECT_EQ(ShouldLoadStillImage(info), (c.osCode & ~kOsWow64) != 0x610);
  }
}

TEST_F(OsInfoTest, AFailedVersionQueryLeavesTheCodeButStillFillsArch) {
  OsVersionAnswers a = Version(kNT, 6, 1, 0, kServer);
  a.versionQuerySucceeds = false;
  SetOsVersionAnswersForTests(a);
  OsInfo info;
  GetOsInfo(info);
  EXPECT_EQ(info.osCode, 0u);
  EXPECT_EQ(info.arch, 1u);
  EXPECT_FALSE(IsServerOs());
  info.osCode = 0x123;
  GetOsInfo(info);
  EXPECT_EQ(info.osCode, 0x123u);
}

TEST_F(OsInfoTest, ArchitectureOnlyMattersUnderWow64) {
  struct Case {
    bool hasQuery;
    bool querySucceeds;
    BOOL wow64;
    bool hasNative;
    WORD native;
    WORD process;
    std::uint16_t arch;
  };
  constexpr WORD kX86 = PROCESSOR_ARCHITECTURE_INTEL;
  constexpr WORD kX64 = PROCESSOR_ARCHITECTURE_AMD64;
  for (const Case& c : {
           Case{false, true, TRUE, true, kX64, kX86, 1},  // no WOW64 query at all
           Case{true, false, TRUE, true, kX64, kX86, 1},  // the query fails
           Case{true, true, FALSE, true, kX64, kX64, 1},
           Case{true, true, TRUE, true, kX64, kX86, 2},
           Case{true, true, TRUE, true, PROCESSOR_ARCHITECTURE_IA32_ON_WIN64, kX86, 2},
           Case{true, true, TRUE, true, PROCESSOR_ARCHITECTURE_IA64, kX86, 3},
           Case{true, true, TRUE, true, PROCESSOR_ARCHITECTURE_ARM64, kX86, 0},  // unchanged
           Case{true, true, TRUE, false, kX64, kX64, 2},  // no native query: the process's view
           Case{true, true, TRUE, false, kX64, kX86, 0},
       }) {
    OsVersionAnswers a = Version(kNT, 6, 1);
    a.hasIsWow64Process = c.hasQuery;
    a.isWow64ProcessSucceeds = c.querySucceeds;
    a.wow64 = c.wow64;
    a.hasNativeSystemInfo = c.hasNative;
    a.nativeArchitecture = c.native;
    a.processArchitecture = c.process;
    SetOsVersionAnswersForTests(a);
    OsInfo info;
    GetOsInfo(info);
    EXPECT_EQ(info.arch, c.arch) << c.hasQuery << c.querySucceeds << c.wow64 << c.hasNative
                                 << " native " << c.native << " process " << c.process;
    EXPECT_EQ(IsWow64(), c.hasQuery && c.querySucceeds && c.wow64 ? TRUE : FALSE);
  }
}

TEST_F(OsInfoTest, ServerMeansAnNTSystemThatIsNoWorkstation) {
  struct Case {
    DWORD platform;
    BYTE product;
    BOOL server;
  };
  for (const Case& c : {Case{kNT, kWorkstation, FALSE}, Case{kNT, kServer, TRUE},
                        Case{kNT, VER_NT_DOMAIN_CONTROLLER, TRUE}, Case{k9x, kServer, FALSE}}) {
    SetOsVersionAnswersForTests(Version(c.platform, 4, 0, 0, c.product));
    EXPECT_EQ(IsServerOs(), c.server) << c.platform << "/" << int(c.product);
  }
}

TEST_F(OsInfoTest, ThisMachineIsANativeWorkstationThatUsesUsb) {
  OsInfo info;
  GetOsInfo(info);
  EXPECT_EQ(info.osCode, 0x210u);
  EXPECT_EQ(info.arch, 1u);
  EXPECT_TRUE(ShouldLoadStillImage(info));
}

}  // namespace
}  // namespace tallow
