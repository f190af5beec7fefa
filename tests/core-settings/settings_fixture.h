// A fresh home folder and settings file per test, and a message box that
// records instead of showing.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/text.h"

namespace tallow::testing {

// Sets an environment variable (nullopt: removes it) and puts the old value
// back at the end.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_, value->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

class TestFolder {
 public:
  TestFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tallow-settings-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TestFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  std::string str(const std::string& rel) const { return (path_ / rel).string(); }
  WString wide(const std::string& rel) const { return FromAnsi(str(rel)); }
  void Write(const std::string& rel, const std::string& content) const {
    std::filesystem::create_directories((path_ / rel).parent_path());
    std::ofstream(path_ / rel, std::ios::binary) << content;
  }
  std::string Read(const std::string& rel) const {
    std::ifstream in(path_ / rel, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool Exists(const std::string& rel) const { return std::filesystem::exists(path_ / rel); }

 private:
  std::filesystem::path path_;
};

struct ShownBox {
  HWND owner;
  WString text;
  WString caption;
  UINT type;
};

class RecordingMessageBox : public MessageBoxBackend {
 public:
  int Show(HWND owner, WStringView text, WStringView caption, UINT type) override {
    shown.push_back({owner, WString(text), WString(caption), type});
    return IDOK;
  }
  std::vector<ShownBox> shown;
};

}  // namespace tallow::testing
