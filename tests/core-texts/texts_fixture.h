// A program path in a fresh folder, with the language sources that a test
// puts beside it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/texts.h"
#include "platform/fonts.h"
#include "platform/module.h"
#include "support/language_files.h"
#include "support/temp_dir.h"

namespace tallow::test {

// Every character set has a font, whatever this machine has installed.
class AllFonts : public FontBackend {
 public:
  FontAnswer FindFontForCharset(std::uint8_t) override { return FontAnswer::kFound; }
};

// Entries chosen against the example resource library: 10103 is empty here
// but not there, 10104 is empty in both, 21101 only here.
inline std::vector<LrcEntry> StandardLanguageEntries() {
  return {
      {10102, u"Language Preview"},
      {10103, u""},
      {10104, u""},
      {11201, u"Language Simple"},
      {8002, u"Language Color"},
      {21101, u"Language: cannot load %s."},
      {30101, LongText(600)},
  };
}

class TextsTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFontBackend(&fonts_); }
  void TearDown() override {
    ReleaseLanguageResources();
    SetModuleFileNameSourceForTests(nullptr);
    InstallFontBackend(nullptr);
  }

  // Makes |path| the program file's path and opens the sources beside it.
  void StartProgramAt(const WString& path) {
    SetModuleFileNameSourceForTests([path](HMODULE) { return path; });
    LoadLanguageResources(nullptr);
  }
  void StartProgram(const std::string& rel = "tallowmere.bin") { StartProgramAt(folder_.Wide(rel)); }

  void PutLanguageFile(const std::vector<LrcEntry>& entries, const std::string& rel = "tallowmere.lrc",
                       std::vector<std::uint8_t> version = {1, 0, 0, 0}) {
    folder_.Write(rel, LanguageFileBytes(entries, std::move(version)));
  }
  void PutLibrary(const char* which = EXAMPLE_STRINGS, const std::string& rel = "tallowmerer.so") {
    folder_.Copy(which, rel);
  }
  // Both tables and labels, as start-up fills them.
  void FillTables() {
    LoadMessageTable(MessageTable());
    LoadMessageTable(ProgressTextTable());
    LoadMessageTable(LabelTable());
  }

  TempDir folder_;
  AllFonts fonts_;
};

}  // namespace tallow::test
