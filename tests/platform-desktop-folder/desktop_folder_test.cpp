#include "platform/desktop_folder.h"

#include <gtest/gtest.h>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace tallow::test {
namespace {

TEST(DesktopFolder, ComesFromTheUserDirsFileOrTheHomeFolder) {
  struct Case {
    const char* name;
    std::optional<std::string> userDirs;  // written to <home>/.config/user-dirs.dirs
    std::string expected;                 // "~" stands for the home folder
  };
  const Case cases[] = {
      {"no file", std::nullopt, "~/Desktop"},
      {"home-relative", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", "~/Bureau"},
      {"absolute, trailing slash", "  XDG_DESKTOP_DIR = \"/srv/desk/\"\r\n", "/srv/desk"},
      {"home itself", "XDG_DESKTOP_DIR=\"$HOME\"\n", "~"},
      {"escaped quote", "XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\"\"\n", "~/My \"Desk\""},
      {"last entry wins, comments skipped",
       "# XDG_DESKTOP_DIR=\"/commented\"\nXDG_DESKTOP_DIR=\"/first\"\nXDG_DOWNLOAD_DIR=\"/dl\"\n"
       "XDG_DESKTOP_DIR=\"/second\"\n",
       "/second"},
      {"relative folder", "XDG_DESKTOP_DIR=\"Desk\"\n", "~/Desktop"},
      {"unquoted", "XDG_DESKTOP_DIR=$HOME/Desk\n", "~/Desktop"},
      {"unterminated", "XDG_DESKTOP_DIR=\"$HOME/Desk\n", "~/Desktop"},
      {"other variable", "XDG_DESKTOP_DIRX=\"/x\"\n", "~/Desktop"},
      {"$HOME glued to a name", "XDG_DESKTOP_DIR=\"$HOMEDesk\"\n", "~/Desktop"},
      {"too large", "XDG_DESKTOP_DIR=\"/big\"\n" + std::string(kMaxUserDirsFileSize, '#'), "~/Desktop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    const std::string home = folder.File("home");
    ScopedEnv homeEnv("HOME", home);
    ScopedEnv configEnv("XDG_CONFIG_HOME", std::nullopt);
    if (c.userDirs) folder.Write("home/.config/user-dirs.dirs", *c.userDirs);
    std::string expected = c.expected;
    if (expected.starts_with("~")) expected = home + expected.substr(1);
    WString path = u"stale";
    EXPECT_TRUE(GetDesktopDirectory(path));
    EXPECT_EQ(ToAnsi(path), expected);
  }
}

TEST(DesktopFolder, ConfigHomeIsUsedOnlyWhenAbsolute) {
  TempDir folder;
  ScopedEnv homeEnv("HOME", folder.File("home"));
  folder.Write("home/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"/from-home-config\"\n");
  folder.Write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"/from-config-home\"\n");
  WString path;
  {
    ScopedEnv configEnv("XDG_CONFIG_HOME", folder.File("config"));
    EXPECT_TRUE(GetDesktopDirectory(path));
    EXPECT_EQ(path, u"/from-config-home");
  }
  {
    ScopedEnv configEnv("XDG_CONFIG_HOME", "config");
    EXPECT_TRUE(GetDesktopDirectory(path));
    EXPECT_EQ(path, u"/from-home-config");
  }
}

}  // namespace
}  // namespace tallow::test
