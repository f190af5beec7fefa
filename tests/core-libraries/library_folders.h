// The program folder of this test (where the test executable lies) and the
// "system" folder on LD_LIBRARY_PATH, filled per test with copies of the
// test libraries and emptied again afterwards.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/file_utils.h"
#include "platform/path.h"

namespace tallow::test {

namespace fs = std::filesystem;

class LibraryFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = ToAnsi(ProgramFolder());
    system_ = TEST_SYSTEM_DIR;
    fs::create_directories(system_);
    Clear(program_);
    Clear(system_);
  }
  void TearDown() override {
    Clear(program_);
    Clear(system_);
  }

  // A copy of the test library |lib| ("" for a file that is no library).
  // An existing file is rewritten in place, so it keeps its place in the
  // folder's listing.
  static void Put(const fs::path& file, const std::string& lib) {
    std::string bytes = "not a library\n";
    if (!lib.empty()) {
      std::ifstream in(fs::path(TEST_LIBS_DIR) / (lib + ".so"), std::ios::binary);
      ASSERT_TRUE(in) << "test library " << lib;
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  }
  void InProgram(const std::string& name, const std::string& lib) { Put(program_ / name, lib); }
  void OnSystemPath(const std::string& name, const std::string& lib) { Put(system_ / name, lib); }

  // Places |names| in the program folder and returns them in the order the
  // file system lists them, which tests cannot choose.
  std::vector<std::string> InListingOrder(const std::vector<std::string>& names) {
    for (const auto& n : names) InProgram(n, "none");
    std::vector<std::string> order;
    for (const auto& e : fs::directory_iterator(program_)) {
      std::string n = e.path().filename().string();
      for (const auto& wanted : names) {
        if (n == wanted) order.push_back(n);
      }
    }
    return order;
  }

  static bool SystemPathInUse() {
    const char* v = std::getenv("LD_LIBRARY_PATH");
    return v && std::string(v).find(TEST_SYSTEM_DIR) != std::string::npos;
  }

  static std::string FileOf(HMODULE module) {
    WString path;
    if (FAILED(GetModuleFilePath(path, module))) return {};
    return ToAnsi(path);
  }

  static bool IsLoaded(const fs::path& file) {
    void* h = ::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h) ::dlclose(h);
    return h != nullptr;
  }

  fs::path program_;
  fs::path system_;

 private:
  static void Clear(const fs::path& folder) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
      std::string n = AsciiLowerName(e.path().filename().string());
      if (n.size() > 3 && n.compare(n.size() - 3, 3, ".so") == 0) fs::remove_all(e.path(), ec);
    }
  }
  static std::string AsciiLowerName(std::string s) {
    for (char& c : s) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
  }
};

#define SKIP_WITHOUT_SYSTEM_PATH()                                                      \
  if (!SystemPathInUse())                                                               \
  GTEST_SKIP() << "run through ctest, which puts " TEST_SYSTEM_DIR " on LD_LIBRARY_PATH"

}  // namespace tallow::test
