// The version-information queries of the platform: only the program's own
// file has a block, and reading a block never leaves it.
#include "platform/version_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/path.h"

namespace tallow {
namespace {

TEST(VersionQueries, AnswerOnlyForTheProgramsOwnFile) {
  const WString program = ProgramFilePath();
  DWORD handle = 7;
  const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &handle);
  ASSERT_GT(size, 0u);
  EXPECT_EQ(handle, 0u);
  std::vector<std::uint8_t> block(size);
  EXPECT_FALSE(GetFileVersionInfoW(program.c_str(), 0, size - 1, block.data()));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, block.data()));

  void* value = nullptr;
  std::uint32_t length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", &value, &length));
  ASSERT_EQ(length, 52u);
  std::uint32_t signature;
  std::memcpy(&signature, value, 4);
  EXPECT_EQ(signature, 0xFEEF04BDu);
  ASSERT_TRUE(VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &value, &length));
  EXPECT_EQ(length, 4u);
  EXPECT_FALSE(VerQueryValueW(block.data(), u"\\VarFileInfo\\Nothing", &value, &length));
  EXPECT_EQ(value, nullptr);

  // Any other file has no block.
  const WString folder = ProgramFolder();
  EXPECT_EQ(GetFileVersionInfoSizeW(folder.c_str(), nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
  EXPECT_EQ(GetFileVersionInfoSizeW((folder + u"/no-such-file").c_str(), nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(VersionQueries, MalformedBlocksAnswerNothing) {
  VersionBlockContents c;
  c.stringTables.push_back({u"000004B0", {{u"FileVersion", u"1.0.0.0"}}});
  c.translations.push_back({0, 1200});
  const std::vector<std::uint8_t> good = BuildVersionBlock(c);
  void* value = nullptr;
  std::uint32_t length = 0;
  // Every cut of the root's length and every single corrupted byte: answers
  // may change, reads stay inside the block.
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    std::vector<std::uint8_t> b = good;
    b[0] = static_cast<std::uint8_t>(cut);
    b[1] = static_cast<std::uint8_t>(cut >> 8);
    b.resize(std::max<std::size_t>(cut, 2));
    VerQueryValueW(b.data(), u"\\StringFileInfo\\000004B0\\FileVersion", &value, &length);
  }
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (std::uint8_t v : {0x00, 0x01, 0x7F, 0xFF}) {
      std::vector<std::uint8_t> b = good;
      b[at] = v;
      if (at < 2) continue;  // the root length is the block's extent by contract
      if (VerQueryValueW(b.data(), u"\\StringFileInfo\\000004B0\\FileVersion", &value, &length)) {
        const auto* p = static_cast<const std::uint8_t*>(value);
        ASSERT_GE(p, b.data());
        ASSERT_LE(p + length, b.data() + b.size());
      }
    }
  }
  EXPECT_FALSE(VerQueryValueW(nullptr, u"\\", &value, &length));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace tallow
