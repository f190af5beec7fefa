#include "platform/desktop_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace tallow::test {
namespace {

// Every folder a case names is made, so that the parsing is what is tested.
TEST(DesktopFolder, ComesFromTheUserDirsFileOrTheHomeFolder) {
  struct Case {
    const char* name;
    std::optional<std::string> userDirs;  // written to <home>/.config/user-dirs.dirs
    std::string expected;                 // "~" stands for the home folder
  };
  const Case cases[] = {
      {"no file", std::nullopt, "~/Desktop"},
      {"home-relative", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", "~/Bureau"},
      {"absolute, trailing slash", "  XDG_DESKTOP_DIR = \"@/desk/\"\r\n", "@/desk"},
      {"home itself", "XDG_DESKTOP_DIR=\"$HOME\"\n", "~"},
      {"escaped quote", "XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\"\"\n", "~/My \"Desk\""},
      {"last entry wins, comments skipped",
       "# XDG_DESKTOP_DIR=\"@/commented\"\nXDG_DESKTOP_DIR=\"@/first\"\nXDG_DOWNLOAD_DIR=\"@/dl\"\n"
       "XDG_DESKTOP_DIR=\"@/second\"\n",
       "@/second"},
      {"relative folder", "XDG_DESKTOP_DIR=\"Desk\"\n", "~/Desktop"},
      {"unquoted", "XDG_DESKTOP_DIR=$HOME/Desk\n", "~/Desktop"},
      {"unterminated", "XDG_DESKTOP_DIR=\"$HOME/Desk\n", "~/Desktop"},
      {"other variable", "XDG_DESKTOP_DIRX=\"@/x\"\n", "~/Desktop"},
      {"$HOME glued to a name", "XDG_DESKTOP_DIR=\"$HOMEDesk\"\n", "~/Desktop"},
      {"too large", "XDG_DESKTOP_DIR=\"@/big\"\n" + std::string(kMaxUserDirsFileSize, '#'), "~/Desktop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    const std::string home = folder.File("home");
    ScopedEnv homeEnv("HOME", home);
    ScopedEnv configEnv("XDG_CONFIG_HOME", std::nullopt);
    // "@" stands for the scratch folder, so that absolute entries name folders that exist.
    auto resolve = [&](std::string text) {
      for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, folder.Path());
      return text;
    };
    if (c.userDirs) folder.Write("home/.config/user-dirs.dirs", resolve(*c.userDirs));
    std::string expected = resolve(c.expected);
    if (expected.starts_with("~")) expected = home + expected.substr(1);
    std::filesystem::create_directories(expected);
    WString path = u"stale";
    EXPECT_TRUE(GetDesktopDirectory(path));
    EXPECT_EQ(ToAnsi(path), expected);
  }
}

// The user-dirs convention: a desktop folder that is not there is the home
// folder, so that a first save has somewhere to go.
TEST(DesktopFolder, IsTheHomeFolderWhenTheDesktopIsNotThere) {
  struct Case {
    const char* name;
    std::optional<std::string> userDirs;
    const char* made;  // made below the home folder before the look-up; nullptr: nothing
  };
  const Case cases[] = {
      {"no file, no Desktop", std::nullopt, nullptr},
      {"no file, Desktop is a file", std::nullopt, "Desktop=file"},
      {"configured folder missing", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", "Desktop"},
      {"configured absolute folder missing", "XDG_DESKTOP_DIR=\"/nonexistent-desk\"\n", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    const std::string home = folder.File("home");
    std::filesystem::create_directories(home);
    ScopedEnv homeEnv("HOME", home);
    ScopedEnv configEnv("XDG_CONFIG_HOME", std::nullopt);
    if (c.userDirs) folder.Write("home/.config/user-dirs.dirs", *c.userDirs);
    if (c.made) {
      const std::string_view made = c.made;
      if (made.ends_with("=file")) {
        folder.Write("home/" + std::string(made.substr(0, made.size() - 5)), "not a folder");
      } else {
        std::filesystem::create_directories(home + "/" + std::string(made));
      }
    }
    WString path = u"stale";
    EXPECT_TRUE(GetDesktopDirectory(path));
    EXPECT_EQ(ToAnsi(path), home);
  }
}

// A link to a folder is a folder.
TEST(DesktopFolder, ALinkToAFolderIsTheDesktop) {
  TempDir folder;
  const std::string home = folder.File("home");
  std::filesystem::create_directories(folder.File("elsewhere"));
  std::filesystem::create_directories(home);
  std::filesystem::create_directory_symlink(folder.File("elsewhere"), home + "/Desktop");
  ScopedEnv homeEnv("HOME", home);
  ScopedEnv configEnv("XDG_CONFIG_HOME", std::nullopt);
  WString path;
  EXPECT_TRUE(GetDesktopDirectory(path));
  EXPECT_EQ(ToAnsi(path), home + "/Desktop");
}

TEST(DesktopFolder, ConfigHomeIsUsedOnlyWhenAbsolute) {
  TempDir folder;
  ScopedEnv homeEnv("HOME", folder.File("home"));
  const std::string fromHomeConfig = folder.File("from-home-config");
  const std::string fromConfigHome = folder.File("from-config-home");
  std::filesystem::create_directories(fromHomeConfig);
  std::filesystem::create_directories(fromConfigHome);
  folder.Write("home/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + fromHomeConfig + "\"\n");
  folder.Write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + fromConfigHome + "\"\n");
  WString path;
  {
    ScopedEnv configEnv("XDG_CONFIG_HOME", folder.File("config"));
    EXPECT_TRUE(GetDesktopDirectory(path));
    EXPECT_EQ(ToAnsi(path), fromConfigHome);
  }
  {
    ScopedEnv configEnv("XDG_CONFIG_HOME", "config");
    EXPECT_TRUE(GetDesktopDirectory(path));
    EXPECT_EQ(ToAnsi(path), fromHomeConfig);
  }
}

}  // namespace
}  // namespace tallow::test
