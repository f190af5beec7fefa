// The single-instance lock: a second holder is told the name exists, in
// this process or another; the name is free again when its holder closes it
// or dies, however it dies.
#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace tallow {
namespace {

// The lock files go to a scratch folder of the test's own.
class NamedMutexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
    setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    setenv("TMPDIR", temp_.Path().c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name, value->c_str(), 1);
      } else {
        unsetenv(name);
      }
    }
  }

  // Creates the lock of |name| and answers whether it was free.
  static bool TakeFree(const char16_t* name, HANDLE* handle) {
    SetLastError(ERROR_INVALID_DATA);
    *handle = CreateMutexW(nullptr, TRUE, name);
    EXPECT_NE(*handle, nullptr);
    return GetLastError() == ERROR_SUCCESS;
  }

  test::TempDir runtime_;
  test::TempDir temp_;
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(NamedMutexTest, SecondHolderInTheProcessIsToldTheNameExistsUntilTheFirstCloses) {
  HANDLE first, second, other, third;
  EXPECT_TRUE(TakeFree(u"Tallowmere.exe", &first));
  EXPECT_FALSE(TakeFree(u"Tallowmere.exe", &second));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(TakeFree(u"Other.exe", &other));
  EXPECT_EQ(test::FilesIn(runtime_.Path(), ".lock").size(), 2u);  // in the runtime folder

  // Releasing gives up ownership; the name is taken until the handle closes.
  EXPECT_TRUE(ReleaseMutex(first));
  EXPECT_FALSE(ReleaseMutex(first));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  EXPECT_FALSE(ReleaseMutex(second));  // the second never owned it
  EXPECT_FALSE(TakeFree(u"Tallowmere.exe", &third));
  EXPECT_TRUE(CloseHandle(third));
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_TRUE(TakeFree(u"Tallowmere.exe", &third));
  EXPECT_TRUE(CloseHandle(third));
  EXPECT_TRUE(CloseHandle(other));
  EXPECT_FALSE(CloseHandle(nullptr));
}

TEST_F(NamedMutexTest, NamesThatAreNotFileNamesStayApartAndUnnamedLocksNeverCollide) {
  HANDLE slash, plain, a, b;
  EXPECT_TRUE(TakeFree(u"Global/..\\Tallowmere", &slash));  // stays inside the folder
  EXPECT_TRUE(TakeFree(u"Tallowmere", &plain));
  EXPECT_TRUE(TakeFree(nullptr, &a));
  EXPECT_TRUE(TakeFree(u"", &b));
  EXPECT_EQ(test::FilesIn(runtime_.Path(), ".lock").size(), 2u);
  for (HANDLE h : {slash, plain, a, b}) EXPECT_TRUE(CloseHandle(h));
  const std::u16string tooLong(201, u'x');
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(CreateMutexW(nullptr, TRUE, tooLong.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

TEST_F(NamedMutexTest, WithoutARuntimeFolderTheTemporaryFolderHoldsTheLock) {
  unsetenv("XDG_RUNTIME_DIR");
  HANDLE h;
  EXPECT_TRUE(TakeFree(u"Tallowmere.exe", &h));
  EXPECT_EQ(test::FilesIn(temp_.Path(), ".lock").size(), 1u);
  EXPECT_TRUE(CloseHandle(h));
}

// Another instance holds the name; when it is killed, as by a crash, the
// kernel frees it without anything being closed.
TEST_F(NamedMutexTest, AnotherProcessHoldsTheNameUntilItDies) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    HANDLE held = CreateMutexW(nullptr, TRUE, u"Tallowmere.exe");
    const char answer = held && GetLastError() == ERROR_SUCCESS ? 'y' : 'n';
    if (write(ready[1], &answer, 1) != 1) _exit(2);
    for (;;) pause();  // killed by the test
  }
  close(ready[1]);
  char answer = 0;
  ASSERT_EQ(read(ready[0], &answer, 1), 1);
  close(ready[0]);
  EXPECT_EQ(answer, 'y');
  HANDLE second;
  EXPECT_FALSE(TakeFree(u"Tallowmere.exe", &second));
  EXPECT_TRUE(CloseHandle(second));
  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  HANDLE after;
  EXPECT_TRUE(TakeFree(u"Tallowmere.exe", &after));
  EXPECT_TRUE(CloseHandle(after));
}

}  // namespace
}  // namespace tallow
