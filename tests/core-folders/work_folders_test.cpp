#include "core/work_folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "core/file_utils.h"
#include "platform/clock.h"
#include "platform/module.h"
#include "support/temp_dir.h"

namespace tallow {
namespace {

namespace fs = std::filesystem;
using test::RunningAsRoot;
using test::TempDir;

// /proc refuses new files and folders even to root, unlike a folder whose
// permission bits forbid writing.
bool HaveProcFolder() { return fs::is_directory("/proc"); }

class WorkFoldersTest : public ::testing::Test {
 protected:
  void TearDown() override { SetModuleFileNameSourceForTests(nullptr); }
  void ProgramIs(const WString& path) {
    SetModuleFileNameSourceForTests([path](HMODULE) { return path; });
  }
  TempDir scratch_;
};

TEST_F(WorkFoldersTest, FoldersAreMadeBesideTheProgramAndRemadeWhenDeleted) {
  scratch_.Write("prog/tallowmere.bin", "");
  ProgramIs(scratch_.Wide("prog/tallowmere.bin"));
  CreateWorkFolders();
  EXPECT_EQ(SaveFolderPath(), scratch_.Wide("prog/work/save"));
  EXPECT_EQ(PreviewFolderPath(), scratch_.Wide("prog/work/preview"));
  EXPECT_EQ(SettingFolderPath(), scratch_.Wide("prog/setting"));
  for (const char* f : {"prog/work", "prog/work/save", "prog/work/preview", "prog/setting"}) {
    EXPECT_TRUE(fs::is_directory(scratch_.File(f))) << f;
  }

  fs::remove_all(scratch_.File("prog/work"));
  scratch_.Write("prog/setting/tallowmere.ini", "[MFPInfo]\n");
  CreateWorkFolders();
  EXPECT_TRUE(fs::is_directory(scratch_.File("prog/work/save")));
  EXPECT_TRUE(fs::is_directory(scratch_.File("prog/work/preview")));
  EXPECT_EQ(scratch_.Read("prog/setting/tallowmere.ini"), "[MFPInfo]\n");
}

TEST_F(WorkFoldersTest, AFolderThatRefusesNewFoldersLeavesThemUnmade) {
  if (!HaveProcFolder()) GTEST_SKIP() << "no /proc";
  ProgramIs(u"/proc/tallowmere.bin");
  CreateWorkFolders();  // returns normally
  EXPECT_EQ(SaveFolderPath(), u"/proc/work/save");
  EXPECT_FALSE(fs::exists("/proc/work"));
  EXPECT_FALSE(fs::exists("/proc/setting"));
}

TEST_F(WorkFoldersTest, AProgramPathWithoutFolderKeepsTheEarlierPaths) {
  scratch_.Write("prog/tallowmere.bin", "");
  ProgramIs(scratch_.Wide("prog/tallowmere.bin"));
  CreateWorkFolders();
  const WString before = SaveFolderPath();
  for (const WString& program : {WString(u"tallowmere.bin"), WString()}) {
    ProgramIs(program);
    CreateWorkFolders();
    EXPECT_EQ(SaveFolderPath(), before);
    EXPECT_EQ(SettingFolderPath(), scratch_.Wide("prog/setting"));
  }
}

// A program folder of the test's own ("prog") with its working folders
// made, beside folders of the user's.
class FolderCleanerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.Write("prog/tallowmere.bin", "");
    const WString program = scratch_.Wide("prog/tallowmere.bin");
    SetModuleFileNameSourceForTests([program](HMODULE) { return program; });
    CreateWorkFolders();
    ASSERT_EQ(SaveFolderPath(), scratch_.Wide("prog/work/save"));
  }
  void TearDown() override { SetModuleFileNameSourceForTests(nullptr); }

  // The entries below |rel|, relative to it.
  std::set<std::string> TreeBelow(const std::string& rel) const {
    std::set<std::string> below;
    for (const std::string& entry : scratch_.Tree()) {
      if (entry.starts_with(rel + "/")) below.insert(entry.substr(rel.size() + 1));
    }
    return below;
  }

  TempDir scratch_;
  CFolderCleaner cleaner_;
};

TEST_F(FolderCleanerTest, MissingFolderGivesZeroAnEmptyOneGivesOne) {
  EXPECT_EQ(cleaner_.DeleteFolderContents(scratch_.Wide("prog/work/save/missing")), 0);
  EXPECT_EQ(cleaner_.DeleteFolderContents(scratch_.Wide("prog/work/save")), 1);
}

TEST_F(FolderCleanerTest, FilesGoAtEveryDepthFoldersStay) {
  for (const WString& path : {scratch_.Wide("prog/work/save"), scratch_.Wide("prog/work/save/")}) {
    scratch_.Write("prog/work/save/00000001_1.jpg", "page");
    scratch_.Write("prog/work/save/noextension", "x");
    scratch_.Write("prog/work/save/sub/00000001_2.tif", "page");
    scratch_.Write("prog/work/save/sub/deeper/.hidden", "x");
    EXPECT_EQ(cleaner_.DeleteFolderContents(path), 1);
    EXPECT_EQ(TreeBelow("prog/work/save"), (std::set<std::string>{"sub", "sub/deeper"}));
  }
}

TEST_F(FolderCleanerTest, LinksAreDeletedNotFollowed) {
  scratch_.Write("outside/keep.txt", "mine");
  fs::create_directory_symlink(scratch_.File("outside"), scratch_.File("prog/work/save/folder-link"));
  fs::create_symlink(scratch_.File("outside/keep.txt"), scratch_.File("prog/work/save/file-link"));
  EXPECT_EQ(cleaner_.DeleteFolderContents(scratch_.Wide("prog/work/save")), 1);
  EXPECT_EQ(scratch_.Read("outside/keep.txt"), "mine");
  EXPECT_FALSE(scratch_.Exists("prog/work/save/folder-link"));
  EXPECT_FALSE(scratch_.Exists("prog/work/save/file-link"));
}

// Only the "work" folder and what lies below it, by the real path: a folder
// elsewhere keeps its files however the path reaches it.
TEST_F(FolderCleanerTest, OnlyTheWorkFolderAndFoldersBelowItAreEmptied) {
  // The files every case starts from.
  const std::vector<std::string> files = {
      "prog/tallowmere.bin",          "prog/setting/tallowmere.ini",
      "prog/work/left.jpg",           "prog/work/save/00000001_1.jpg",
      "prog/work/save/sub/page.tif",  "prog/work/preview/00000001_1.jpg",
      "prog/work2/keep.txt",          "outside/keep.txt",
      "outside/sub/keep.txt",         "temp/keep.txt",
      "keep.txt"};
  fs::create_directory_symlink(scratch_.File("prog/work/save"), scratch_.File("save-link"));
  struct Case {
    const char* name;
    std::string path;   // below the scratch folder
    const char* empty;  // the folder whose files go; null: none
  };
  const Case cases[] = {
      {"the work folder", "prog/work", "prog/work"},
      {"the save folder", "prog/work/save", "prog/work/save"},
      {"the save folder with separators at its end", "prog/work/save//", "prog/work/save"},
      {"the preview folder", "prog/work/preview", "prog/work/preview"},
      {"a folder below the save folder", "prog/work/save/sub", "prog/work/save/sub"},
      {"\"..\" that stays inside", "prog/work/save/sub/../../preview", "prog/work/preview"},
      {"a link to the save folder", "save-link", "prog/work/save"},
      {"a folder outside", "outside", nullptr},
      {"the temporary folder", "temp", nullptr},
      {"the folder that holds the program's", "", nullptr},
      {"the program's folder", "prog", nullptr},
      {"the setting folder", "prog/setting", nullptr},
      {"a name that starts like the work folder's", "prog/work2", nullptr},
      {"\"..\" that leads out", "prog/work/save/../../../outside", nullptr},
      {"a link in the save folder pointing out", "prog/work/save/out-link", nullptr},
      {"a folder below a link pointing out", "prog/work/save/out-link/sub", nullptr},
  };
  const std::string outLink = "prog/work/save/out-link";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& f : files) scratch_.Write(f, "x");
    if (!scratch_.Exists(outLink)) {
      fs::create_directory_symlink(scratch_.File("outside"), scratch_.File(outLink));
    }
    const WString path = c.path.empty() ? scratch_.Wide() + u"/" : scratch_.Wide(c.path);
    EXPECT_EQ(cleaner_.DeleteFolderContents(path), c.empty ? 1 : 0);
    // What lies below the emptied folder goes, the link as a link.
    for (const std::string& f : files) {
      const bool gone = c.empty && f.starts_with(std::string(c.empty) + "/");
      EXPECT_EQ(scratch_.Exists(f), !gone) << f;
    }
    const bool linkGone = c.empty && outLink.starts_with(std::string(c.empty) + "/");
    EXPECT_EQ(scratch_.Exists(outLink), !linkGone);
  }
}

TEST_F(FolderCleanerTest, AnEmptyPathIsNotTheRootFolder) {
  // The call runs in a child whose root folder is the scratch folder, so a
  // wrong answer cannot harm the machine; only root may set that up.
  if (!RunningAsRoot()) GTEST_SKIP() << "needs root for chroot";
  scratch_.Write("keep.txt", "mine");
  scratch_.Write("sub/keep.txt", "mine");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chroot(scratch_.Path().c_str()) != 0 || ::chdir("/") != 0) ::_exit(77);
    ::_exit(CFolderCleaner().DeleteFolderContents(u"") == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "chroot not permitted here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(scratch_.Read("keep.txt"), "mine");
  EXPECT_EQ(scratch_.Read("sub/keep.txt"), "mine");
}

class ProbeTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetCurrentTimeSourceForTests(nullptr);
    SetTickCountSourceForTests(nullptr);
  }
  void TimeIs(std::int64_t t) {
    SetCurrentTimeSourceForTests([t] { return t; });
  }
  // Hands out |first|, |first| + |step|, ... and counts the reads.
  void TicksFrom(DWORD first, DWORD step) {
    SetTickCountSourceForTests([this, first, step] { return first + step * tickReads_++; });
  }
  TempDir scratch_;
  int tickReads_ = 0;
};

TEST_F(ProbeTest, WritableFolderFilePathAndTrailingSeparatorAllProbeTheFolder) {
  scratch_.Write("dir/document.pdf", "data");
  for (const WString& path : {scratch_.Wide("dir"), scratch_.Wide("dir") + u"/",
                              scratch_.Wide("dir/document.pdf"), scratch_.Wide("dir/not-yet.pdf")}) {
    SCOPED_TRACE(ToAnsi(path));
    EXPECT_TRUE(IsFolderWritable(path));
    EXPECT_EQ(scratch_.Tree(), (std::set<std::string>{"dir", "dir/document.pdf"}));
  }
  EXPECT_EQ(scratch_.Read("dir/document.pdf"), "data");
}

TEST_F(ProbeTest, FolderProbeFailsWhereNoFileCanBeMade) {
  EXPECT_FALSE(IsFolderWritable(scratch_.Wide("missing/out.pdf")));
  if (HaveProcFolder()) {
    EXPECT_FALSE(IsFolderWritable(u"/proc"));
  }
}

TEST_F(ProbeTest, BareNameIsRefusedWithoutTouchingTheDisk) {
  const fs::path before = fs::current_path();
  fs::current_path(scratch_.Path());
  TimeIs(1796806000);
  EXPECT_FALSE(IsFolderWritable(u"out.pdf"));
  fs::current_path(before);
  EXPECT_TRUE(scratch_.Tree().empty());
}

TEST_F(ProbeTest, AFileWithTheProbeNameIsLeftAlone) {
  const std::int64_t now = 1796806000;
  TimeIs(now);
  const std::string taken = ToAnsi(FormatFileTimeStamp(&now)) + ".vqd";
  scratch_.Write(taken, "the user's own");
  EXPECT_TRUE(IsFolderWritable(scratch_.Wide()));
  EXPECT_EQ(scratch_.Read(taken), "the user's own");
  EXPECT_EQ(scratch_.Tree(), std::set<std::string>{taken});
}

TEST_F(ProbeTest, NameProbeUsesTheTickCountDoubledAndCut) {
  struct Case {
    DWORD tick;
    int length;
    const char* name;
  };
  for (Case c : {Case{123456, 10, "1234561234"}, Case{123, 7, "1231231"},
                 Case{0x80000000u, 13, "-2147483648-2"}, Case{5, 1, "5"}}) {
    SCOPED_TRACE(c.name);
    for (const WString& folder : {scratch_.Wide(), scratch_.Wide() + u"/"}) {
      // While a file of that name exists, every try of the same tick finds it.
      scratch_.Write(c.name, "existing");
      tickReads_ = 0;
      TicksFrom(c.tick, 0);
      EXPECT_FALSE(CanWriteFolder(folder.c_str(), c.length));
      EXPECT_EQ(tickReads_, 32);
      EXPECT_EQ(scratch_.Read(c.name), "existing");
      // The next tick gives a free name, made and removed again.
      tickReads_ = 0;
      TicksFrom(c.tick, 1);
      EXPECT_TRUE(CanWriteFolder(folder.c_str(), c.length));
      EXPECT_EQ(tickReads_, 2);
      EXPECT_EQ(scratch_.Tree(), std::set<std::string>{c.name});
      fs::remove(scratch_.File(c.name));
    }
  }
}

TEST_F(ProbeTest, NameProbeOfLengthZeroFindsTheFolderItself) {
  TicksFrom(1000, 1);
  EXPECT_FALSE(CanWriteFolder(scratch_.Wide().c_str(), 0));
  EXPECT_EQ(tickReads_, 32);
}

TEST_F(ProbeTest, NameProbeRefusesWhatItCannotUse) {
  TicksFrom(123456, 1);
  EXPECT_FALSE(CanWriteFolder(nullptr, 8));
  EXPECT_FALSE(CanWriteFolder(u"", 8));
  EXPECT_FALSE(CanWriteFolder(scratch_.Wide().c_str(), -1));
  EXPECT_FALSE(CanWriteFolder(scratch_.Wide("missing").c_str(), 8));
  if (HaveProcFolder()) {
    EXPECT_FALSE(CanWriteFolder(u"/proc", 12));  // no process has id 123456123456
  }
  EXPECT_TRUE(scratch_.Tree().empty());
}

TEST_F(ProbeTest, CanCreateFileLeavesExistingFilesAndRemovesItsOwn) {
  scratch_.Write("existing.pdf", "data");
  EXPECT_TRUE(CanCreateFile(scratch_.Wide("existing.pdf").c_str()));
  EXPECT_EQ(scratch_.Read("existing.pdf"), "data");
  EXPECT_TRUE(CanCreateFile(scratch_.Wide("new.pdf").c_str()));
  EXPECT_FALSE(scratch_.Exists("new.pdf"));
  EXPECT_FALSE(CanCreateFile(scratch_.Wide("missing/new.pdf").c_str()));
  EXPECT_FALSE(CanCreateFile(nullptr));
}

TEST_F(ProbeTest, ReadOnlyFileAndFolderAreNotWritable) {
  if (RunningAsRoot()) GTEST_SKIP() << "permission bits do not stop root";
  scratch_.Write("ro/existing.pdf", "data");
  fs::permissions(scratch_.File("ro/existing.pdf"), fs::perms::owner_read);
  EXPECT_FALSE(CanCreateFile(scratch_.Wide("ro/existing.pdf").c_str()));
  EXPECT_EQ(scratch_.Read("ro/existing.pdf"), "data");
  fs::permissions(scratch_.File("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(IsFolderWritable(scratch_.Wide("ro")));
  EXPECT_FALSE(CanWriteFolder(scratch_.Wide("ro").c_str(), 8));
}

}  // namespace
}  // namespace tallow
