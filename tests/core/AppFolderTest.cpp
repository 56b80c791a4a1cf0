#include "core/AppFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/TestDir.h"
#include "common/ScopedEnv.h"

namespace apdesk {
namespace {

using test::TestDir;

using ::test::ScopedEnv;

TEST(AppFolder, FolderOfTheExecutable) {
  const struct {
    const char* exe;
    const char* folder;
  } cases[] = {
      {"/opt/apdesk/bin/apdesk", "/opt/apdesk/bin/"},
      {"/apdesk", "/"},
      {"apdesk", "./"},
      {"", "./"},
      {"build/bin/apdesk", "build/bin/"},
      {"/odd/path/", "/odd/path/"},
  };
  for (const auto& c : cases) EXPECT_EQ(AppFolderFromExecutablePath(c.exe), c.folder) << c.exe;
}

TEST(AppFolder, LanguageFilesBesideTheExecutableElseInstalled) {
  // Each case is a prefix holding bin/ (the application folder) and whatever
  // the names in `make` create under it; "=file" makes a plain file.
  const struct {
    std::vector<const char*> make;
    const char* expected;  // relative to bin/
  } cases[] = {
      {{"bin/Language/"}, "Language/"},
      {{"share/apdesk/Language/"}, "../share/apdesk/Language/"},
      {{"bin/Language/", "share/apdesk/Language/"}, "Language/"},  // a portable folder wins
      {{}, "Language/"},                                           // neither: where they belong
      {{"bin/Language=file", "share/apdesk/Language/"}, "../share/apdesk/Language/"},
      {{"share/apdesk/Language=file"}, "Language/"},
  };
  for (const auto& c : cases) {
    TestDir prefix;
    std::filesystem::create_directories(prefix.File("bin"));
    for (std::string m : c.make) {
      const std::size_t eq = m.find("=file");
      if (eq != std::string::npos)
        prefix.Write(m.substr(0, eq), "x");
      else
        std::filesystem::create_directories(prefix.File(m));
    }
    const std::string bin = prefix.Folder() + "bin/";
    EXPECT_EQ(LanguageFolderFor(bin), bin + c.expected) << (c.make.empty() ? "" : c.make.back());
  }
}

TEST(AppFolder, WritableFolderKeepsTheFileBesideTheExecutable) {
  TestDir app;
  ScopedEnv xdg("XDG_CONFIG_HOME", (app.Folder() + "xdg").c_str());
  EXPECT_EQ(ResolveSettingsPath(app.Folder()), app.Folder() + "MPCFG.ini");
  EXPECT_FALSE(std::filesystem::exists(app.Folder() + "xdg"));
}

TEST(AppFolder, InstalledLayoutUsesTheUserConfigFolderEvenWhenWritable) {
  TestDir prefix;
  std::filesystem::create_directories(prefix.File("bin"));
  std::filesystem::create_directories(prefix.File("share/apdesk/Language"));
  ScopedEnv xdg("XDG_CONFIG_HOME", (prefix.Folder() + "xdg").c_str());
  EXPECT_EQ(ResolveSettingsPath(prefix.Folder() + "bin/"), prefix.Folder() + "xdg/apdesk/MPCFG.ini");
  // A portable copy with its own Language folder keeps the file beside it.
  std::filesystem::create_directories(prefix.File("bin/Language"));
  EXPECT_EQ(ResolveSettingsPath(prefix.Folder() + "bin/"), prefix.Folder() + "bin/MPCFG.ini");
}

// Records go where the settings go: an installed copy into the user's data
// folder, never into whatever folder the desktop started it in; a build or
// portable copy into the current folder, as a whole path.
TEST(AppFolder, RecordsOfAnInstalledCopyGoToTheUserDataFolder) {
  TestDir prefix;
  std::filesystem::create_directories(prefix.File("bin"));
  std::filesystem::create_directories(prefix.File("share/apdesk/Language"));
  std::filesystem::create_directories(prefix.File("portable/Language"));
  std::filesystem::create_directories(prefix.File("home"));
  const std::string here = std::filesystem::current_path().string() + "/";
  struct Case {
    std::string app;
    const char* xdgData;
    const char* home;
    std::string expected;
  } cases[] = {
      {"bin/", "data", "home", prefix.Folder() + "data/apdesk/"},
      {"bin/", nullptr, "home", prefix.Folder() + "home/.local/share/apdesk/"},
      {"bin/", "relative", "home", prefix.Folder() + "home/.local/share/apdesk/"},
      {"portable/", "data", "home", here},
  };
  for (const Case& c : cases) {
    const std::string xdg = c.xdgData && c.xdgData[0] != 'r' ? prefix.Folder() + c.xdgData : "";
    ScopedEnv data("XDG_DATA_HOME", c.xdgData == nullptr ? nullptr : (xdg.empty() ? c.xdgData : xdg.c_str()));
    ScopedEnv home("HOME", (prefix.Folder() + c.home).c_str());
    EXPECT_EQ(ResolveRecordBase(prefix.Folder() + c.app), c.expected) << c.app;
  }
  EXPECT_TRUE(std::filesystem::is_directory(prefix.File("data/apdesk")));
}

TEST(AppFolder, UnwritableFolderUsesTheUserConfigFolder) {
  TestDir home;
  // A folder that does not exist cannot be written, whoever runs the test.
  const std::string gone = home.Folder() + "not-there/";
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", (home.Folder() + "cfg").c_str());
    EXPECT_EQ(ResolveSettingsPath(gone), home.Folder() + "cfg/apdesk/MPCFG.ini");
    EXPECT_TRUE(std::filesystem::is_directory(home.Folder() + "cfg/apdesk"));
  }
  {
    // Unset or relative XDG_CONFIG_HOME: ~/.config.
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/path");
    ScopedEnv h("HOME", home.Folder().c_str());
    EXPECT_EQ(ResolveSettingsPath(gone), home.Folder() + ".config/apdesk/MPCFG.ini");
    EXPECT_TRUE(std::filesystem::is_directory(home.Folder() + ".config/apdesk"));
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv h("HOME", (home.Folder() + "h2").c_str());
    EXPECT_EQ(ResolveSettingsPath(gone), home.Folder() + "h2/.config/apdesk/MPCFG.ini");
  }
  // A file where the folder should be is not a writable folder either.
  home.Write("plainfile", "x");
  ScopedEnv xdg("XDG_CONFIG_HOME", (home.Folder() + "cfg3").c_str());
  EXPECT_EQ(ResolveSettingsPath(home.File("plainfile") + "/"), home.Folder() + "cfg3/apdesk/MPCFG.ini");
}

TEST(AppFolder, ReadOnlyFolderForOrdinaryUsers) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TestDir home;
  const std::string ro = home.Folder() + "ro/";
  std::filesystem::create_directory(ro);
  ::chmod(ro.c_str(), 0555);
  ScopedEnv xdg("XDG_CONFIG_HOME", (home.Folder() + "cfg").c_str());
  EXPECT_EQ(ResolveSettingsPath(ro), home.Folder() + "cfg/apdesk/MPCFG.ini");
  ::chmod(ro.c_str(), 0755);
}

}  // namespace
}  // namespace apdesk
