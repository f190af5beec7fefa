#include "convert/jpg_passthru_convertor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <map>
#include <ostream>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "support/scoped_env.h"
#include "support/scoped_mount.h"
#include "support/temp_dir.h"

namespace tallow {
namespace {

using test::FilesIn;
using test::ReadFile;
using test::ScopedEnv;
using test::WriteFile;

TEST(BuildPageFileNames, NumberGoesBeforeTheFileNamesLastDot) {
  struct Case {
    const char16_t* base;
    int first;
    int last;
    WStringList names;
  };
  for (const Case& c : {
           Case{u"/f/scan.jpg", 1, 3, {u"/f/scan-1.jpg", u"/f/scan-2.jpg", u"/f/scan-3.jpg"}},
           Case{u"/f/scan.jpeg", 2, 2, {u"/f/scan-2.jpeg"}},
           Case{u"/f/a.b.jpg", 9, 10, {u"/f/a.b-9.jpg", u"/f/a.b-10.jpg"}},
           Case{u"/f/scan.jpg", 1, 1, {u"/f/scan-1.jpg"}},
           Case{u"/f/scan.jpg", 3, 2, {}},
           // A "." in a folder is not the extension's.
           Case{u"/my.docs/scan", 1, 1, {u"/my.docs/scan-1"}},
           // The range may end at the largest page number and still end.
           Case{u"/f/s.jpg", INT_MAX - 1, INT_MAX, {u"/f/s-2147483646.jpg", u"/f/s-2147483647.jpg"}},
       }) {
    SCOPED_TRACE(ToAnsi(c.base));
    WStringList list = {u"kept"};
    CImageConvert().BuildPageFileNames(c.first, c.last, c.base, list);
    WStringList expected = {u"kept"};
    expected.insert(expected.end(), c.names.begin(), c.names.end());
    EXPECT_EQ(list, expected);
  }
}

class JpgWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(Work());
    std::filesystem::create_directory(Out());
    ASSERT_EQ(writer_.Open(FromAnsi(Out()).c_str(), u"doc.jpg"), S_OK);
    ASSERT_EQ(writer_.SetWorkFolder(FromAnsi(Work()).c_str()), S_OK);
  }
  std::string Work() const { return dir_.File("save"); }
  std::string Out() const { return dir_.File("out"); }
  // Page n of document 0x1A2B as the download stores it.
  void Page(int n) { WriteFile(Work() + "/00001A2B_" + std::to_string(n) + ".jpg", "page " + std::to_string(n)); }

  test::TempDir dir_;
  CJpgPassthruConvertor writer_;
};

TEST_F(JpgWriter, OpenKeepsTheNameAsBaseAndSetPageRangeFillsTheList) {
  EXPECT_TRUE(writer_.m_outputPaths.empty());
  EXPECT_EQ(writer_.BaseOutputName(), FromAnsi(Out() + "/doc.jpg"));
  ASSERT_EQ(writer_.SetPageRange(2, 4), S_OK);
  EXPECT_EQ(writer_.m_outputPaths,
            (WStringList{FromAnsi(Out() + "/doc-2.jpg"), FromAnsi(Out() + "/doc-3.jpg"), FromAnsi(Out() + "/doc-4.jpg")}));
  // A second range replaces the list.
  ASSERT_EQ(writer_.SetPageRange(1, 1), S_OK);
  EXPECT_EQ(writer_.m_outputPaths, (WStringList{FromAnsi(Out() + "/doc-1.jpg")}));
}

TEST_F(JpgWriter, TimeStampNameGetsPageNumbers) {
  ScopedEnv zone("TZ", "UTC0");
  ::tzset();
  SetCurrentTimeSourceForTests([] { return std::int64_t{1796806000}; });
  const HRESULT opened = writer_.Open(FromAnsi(Out()).c_str(), nullptr);
  SetCurrentTimeSourceForTests({});
  ASSERT_EQ(opened, S_OK);
  ASSERT_EQ(writer_.SetPageRange(1, 2), S_OK);
  EXPECT_EQ(writer_.m_outputPaths, (WStringList{FromAnsi(Out() + "/20261209084640-1.jpg"),
                                                FromAnsi(Out() + "/20261209084640-2.jpg")}));
}

TEST_F(JpgWriter, ConvertCopiesEachPageOfTheRange) {
  for (int n = 1; n <= 5; ++n) Page(n);
  WriteFile(Out() + "/doc-3.jpg", "an older file");  // overwritten without a question
  // Someone else's files, named as the writer's own hidden ones.
  WriteFile(Out() + "/.tallow-page0-0.part", "not ours");
  WriteFile(Out() + "/.tallow-kept1-0.part", "not ours either");
  ASSERT_EQ(writer_.SetPageRange(2, 4), S_OK);
  ASSERT_EQ(writer_.Convert(nullptr, 0x1A2B), S_OK);
  EXPECT_EQ(FilesIn(Out()), (std::vector<std::string>{".tallow-kept1-0.part", ".tallow-page0-0.part", "doc-2.jpg",
                                                      "doc-3.jpg", "doc-4.jpg"}));
  EXPECT_EQ(ReadFile(Out() + "/.tallow-page0-0.part"), "not ours");
  EXPECT_EQ(ReadFile(Out() + "/.tallow-kept1-0.part"), "not ours either");
  for (int n = 2; n <= 4; ++n) {
    EXPECT_EQ(ReadFile(Out() + "/doc-" + std::to_string(n) + ".jpg"), "page " + std::to_string(n));
  }
  // Convert changes nothing and may run again.
  EXPECT_EQ(writer_.Convert(nullptr, 0x1A2B), S_OK);
}

TEST_F(JpgWriter, ReplacedFilesKeepTheirPermissions) {
  for (int n = 1; n <= 3; ++n) Page(n);
  struct Case {
    const char* name;
    mode_t mode;
  } cases[] = {{"doc-1.jpg", 0600}, {"doc-2.jpg", 0664}, {"doc-3.jpg", 0604}};
  for (const Case& c : cases) {
    WriteFile(Out() + "/" + c.name, "an older file");
    ASSERT_EQ(::chmod((Out() + "/" + c.name).c_str(), c.mode), 0);
  }
  ASSERT_EQ(writer_.SetPageRange(1, 3), S_OK);
  ASSERT_EQ(writer_.Convert(nullptr, 0x1A2B), S_OK);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    struct stat st {};
    ASSERT_EQ(::stat((Out() + "/" + c.name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
    EXPECT_EQ(ReadFile(Out() + "/" + c.name).substr(0, 4), "page");
  }
}

// Every entry below |folder|, hidden ones included: a file with its
// permissions and content, a folder, a link with where it leads.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> entries;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(e.path(), folder).string();
    const fs::file_status status = e.symlink_status();
    if (fs::is_symlink(status)) {
      entries[name] = "link to " + fs::read_symlink(e.path()).string();
    } else if (fs::is_directory(status)) {
      entries[name] = "folder";
    } else {
      entries[name] = std::to_string(static_cast<int>(status.permissions())) + " " + ReadFile(e.path().string());
    }
  }
  return entries;
}

// A save of pages 1 to 5 as doc.jpg that fails part-way.
enum class Failure {
  kPageMissing,       // page 3's file is not in the work folder
  kTargetFolder,      // a folder is there under doc-4.jpg
  kTargetLinkFolder,  // a link to a folder is there under doc-4.jpg
  kDiskFull,          // the folder has room for two pages
  kNameTaken,         // doc-3.jpg may not be replaced by any rename
};
struct FailedSave {
  const char* name;
  Failure failure;
  HRESULT result;  // S_OK: any failure
};
void PrintTo(const FailedSave& save, std::ostream* out) { *out << save.name; }

class FailedJpgSave : public JpgWriter, public ::testing::WithParamInterface<FailedSave> {
 protected:
  // Sets up the failure; false with the reason when it cannot be here.
  bool Arrange(Failure failure, std::string& why) {
    switch (failure) {
      case Failure::kPageMissing:
        std::filesystem::remove(Work() + "/00001A2B_3.jpg");
        break;
      case Failure::kTargetFolder:
        std::filesystem::create_directory(Out() + "/doc-4.jpg");
        WriteFile(Out() + "/doc-4.jpg/inside", "a file in the folder");
        break;
      case Failure::kTargetLinkFolder:
        std::filesystem::create_directory(dir_.File("elsewhere"));
        std::filesystem::create_directory_symlink(dir_.File("elsewhere"), Out() + "/doc-4.jpg");
        break;
      case Failure::kDiskFull:
        mount_.emplace(test::ScopedMount::Tmpfs(Out(), 128 * 1024));
        // Pages of 48 KiB: two and the files that are there fit.
        for (int n = 1; n <= 5; ++n) {
          WriteFile(Work() + "/00001A2B_" + std::to_string(n) + ".jpg", std::string(48 * 1024, char('0' + n)));
        }
        break;
      case Failure::kNameTaken:
        // A file bound over it: a mount point, which no rename moves or replaces.
        WriteFile(Out() + "/doc-3.jpg", "under the mount");
        WriteFile(dir_.File("bound"), "a file no page may replace");
        mount_.emplace(test::ScopedMount::Bind(dir_.File("bound"), Out() + "/doc-3.jpg"));
        break;
    }
    if (mount_ && !mount_->ok()) {
      why = mount_->Why();
      return false;
    }
    return true;
  }

  std::optional<test::ScopedMount> mount_;
};

TEST_P(FailedJpgSave, LeavesTheFolderAsItWas) {
  for (int n = 1; n <= 5; ++n) Page(n);
  std::string why;
  if (!Arrange(GetParam().failure, why)) GTEST_SKIP() << "cannot make the failure here: " << why;
  // A file page 1 replaces, and hidden files of the same form as the
  // writer's own, which are someone else's.
  WriteFile(Out() + "/doc-1.jpg", "an older file");
  ASSERT_EQ(::chmod((Out() + "/doc-1.jpg").c_str(), 0640), 0);
  WriteFile(Out() + "/.tallow-page0-0.part", "not ours");
  WriteFile(Out() + "/.tallow-kept0-0.part", "not ours either");
  const auto before = Snapshot(Out());

  ASSERT_EQ(writer_.SetPageRange(1, 5), S_OK);
  const HRESULT hr = writer_.Convert(nullptr, 0x1A2B);
  EXPECT_TRUE(FAILED(hr));
  if (GetParam().result != S_OK) {
    EXPECT_EQ(hr, GetParam().result);
  }
  EXPECT_EQ(HRESULT_FROM_WIN32(GetLastError()), hr);
  // No page of the save, no temporary, the replaced file whole.
  EXPECT_EQ(Snapshot(Out()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedJpgSave,
    ::testing::Values(FailedSave{"PageFileMissingMidRange", Failure::kPageMissing,
                                 HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
                      FailedSave{"TargetIsAFolder", Failure::kTargetFolder, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)},
                      FailedSave{"TargetIsALinkToAFolder", Failure::kTargetLinkFolder,
                                 HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)},
                      FailedSave{"DiskFullWhileCopying", Failure::kDiskFull, HRESULT_FROM_WIN32(ERROR_WRITE_FAULT)},
                      FailedSave{"NameTakenWhilePlacing", Failure::kNameTaken, S_OK}),
    [](const ::testing::TestParamInfo<FailedSave>& info) { return std::string(info.param.name); });

TEST_F(JpgWriter, RangesThatCopyNothing) {
  Page(1);
  ASSERT_EQ(writer_.SetPageRange(2, 1), S_OK);
  EXPECT_TRUE(writer_.m_outputPaths.empty());
  EXPECT_EQ(writer_.Convert(nullptr, 0x1A2B), S_OK);
  // A range changed behind the list's back has no target for every page.
  ASSERT_EQ(writer_.SetPageRange(1, 1), S_OK);
  writer_.m_lastPage = 3;
  EXPECT_EQ(writer_.Convert(nullptr, 0x1A2B), E_FAIL);
  EXPECT_TRUE(FilesIn(Out()).empty());
}

TEST(JpgWriterState, SetPageRangeBeforeOpenFails) {
  CJpgPassthruConvertor writer;
  EXPECT_EQ(writer.SetPageRange(1, 3), E_FAIL);
  EXPECT_EQ(writer.m_firstPage, 1);
  EXPECT_EQ(writer.m_lastPage, 3);
  EXPECT_TRUE(writer.m_outputPaths.empty());
}

TEST(JpgWriterState, FailedOpenAndResetEmptyTheWriter) {
  test::TempDir dir;
  CJpgPassthruConvertor writer;
  ASSERT_EQ(writer.Open(FromAnsi(dir.Path()).c_str(), u"a.jpg"), S_OK);
  ASSERT_EQ(writer.SetPageRange(1, 2), S_OK);
  writer.Reset();
  EXPECT_TRUE(writer.BaseOutputName().empty());
  EXPECT_TRUE(writer.m_outputPaths.empty());
  EXPECT_EQ(writer.SetPageRange(1, 2), E_FAIL);
  ASSERT_EQ(writer.Open(FromAnsi(dir.Path()).c_str(), u"a.jpg"), S_OK);
  EXPECT_EQ(writer.Open(FromAnsi(dir.File("missing")).c_str(), u"a.jpg"), E_FAIL);
  EXPECT_TRUE(writer.BaseOutputName().empty());
}

}  // namespace
}  // namespace tallow
