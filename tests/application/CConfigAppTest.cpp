#include "application/CConfigApp.h"

#include <gtest/gtest.h>

#include "app/TestDir.h"

namespace {

using apdesk::test::TestDir;

TEST(CConfigApp, FolderSettingsFileAndTitleFromTheExecutable) {
  TestDir dir;
  ASSERT_EQ(CConfigApp::Instance(), nullptr);
  {
    CConfigApp app(dir.Folder() + "apdesk");
    EXPECT_EQ(CConfigApp::Instance(), &app);
    EXPECT_EQ(app.AppFolder(), dir.Folder());
    EXPECT_EQ(app.SettingsPath(), dir.Folder() + "MPCFG.ini");
    EXPECT_EQ(app.Settings().Path(), app.SettingsPath());
    EXPECT_EQ(app.Title(), "apdesk");

    EXPECT_EQ(app.GetSettingString("Settings1", "COMPORT", "COM1"), "COM1");
    EXPECT_EQ(app.GetSettingInt("HANDMODE", "HandValue", 0), 0);
    ASSERT_TRUE(app.WriteSettingString("Settings1", "COMPORT", "ttyACM0"));
    ASSERT_TRUE(app.WriteSettingInt("HANDMODE", "HandValue", 2));
    const std::uint8_t bytes[] = {0x34, 0x00, 0xFF};
    ASSERT_TRUE(app.WriteSettingBinary("Settings1", "COMCONF", bytes, sizeof bytes));
    EXPECT_EQ(app.GetSettingString("settings1", "comport"), "ttyACM0");
    EXPECT_EQ(app.GetSettingInt("HANDMODE", "HandValue", 0), 2);
    EXPECT_EQ(app.GetSettingBinary("Settings1", "COMCONF"), (std::vector<std::uint8_t>{0x34, 0x00, 0xFF}));
    EXPECT_EQ(dir.Read("MPCFG.ini"),
              "[Settings1]\nCOMPORT=ttyACM0\nCOMCONF=EDAAPP\n\n[HANDMODE]\nHandValue=2\n");
  }
  EXPECT_EQ(CConfigApp::Instance(), nullptr);
}

TEST(CConfigApp, PathWithoutSeparator) {
  CConfigApp app("apdesk");
  EXPECT_EQ(app.AppFolder(), "./");
  // The tests run in a writable build folder.
  EXPECT_EQ(app.SettingsPath(), "./MPCFG.ini");
}

TEST(CConfigApp, TitleIsTheFileNameWithoutExtension) {
  const struct {
    const char* path;
    const char* title;
  } cases[] = {
      {"/usr/bin/apdesk", "apdesk"}, {"C:/Tools/x.exe", "x"},     {"C:\\Tools\\x.exe", "x"},
      {"tool.v2.exe", "tool.v2"},    {"/opt/.hidden", ".hidden"}, {"/a.b/tool", "tool"},
  };
  for (const auto& c : cases) EXPECT_EQ(ApplicationTitleFromPath(c.path), c.title) << c.path;
}

}  // namespace
