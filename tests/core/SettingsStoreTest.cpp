#include "core/SettingsStore.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#include <future>
#include <vector>

#include "app/TestDir.h"
#include "core/CommConfig.h"
#include "core/IniFile.h"

namespace apdesk {
namespace {

using test::TestDir;

TEST(SettingsStore, DefaultsWithoutAFile) {
  TestDir dir;
  const SettingsStore store(dir.File("MPCFG.ini"));
  EXPECT_EQ(store.GetSettingString("Settings1", "COMPORT", "COM1"), "COM1");
  EXPECT_EQ(store.GetSettingString("Settings1", "COMPORT"), "");
  EXPECT_EQ(store.GetSettingInt("HANDMODE", "HandValue", 0), 0);
  EXPECT_EQ(store.GetSettingInt("HANDMODE", "HandValue", -7), -7);
  EXPECT_FALSE(store.GetSettingBinary("Settings1", "COMCONF").has_value());
  // Without a stored record the port falls back to 115200 8N1.
  const LineSettings s =
      DecodeLineSettings(OverlayCommConfig(store.GetSettingBinary("Settings1", "COMCONF")));
  EXPECT_EQ(s.baudRate, 115200u);
  EXPECT_EQ(s.dataBits, 8);
}

TEST(SettingsStore, OpenComWritesWhatTheNextRunReads) {
  TestDir dir;
  SettingsStore store(dir.File("MPCFG.ini"));
  const auto record = DefaultCommConfig();
  ASSERT_TRUE(store.WriteSettingString("Settings1", "COMPORT", "ttyUSB0"));
  ASSERT_TRUE(store.WriteSettingBinary("Settings1", "COMCONF", record.data(), record.size()));
  ASSERT_TRUE(store.WriteSettingInt("HANDMODE", "HandValue", 2));

  const std::string text = dir.Read("MPCFG.ini");
  EXPECT_NE(text.find("[Settings1]\nCOMPORT=ttyUSB0\nCOMCONF=EDAAAAAABAAAAAAAMBAAAAAA"), std::string::npos)
      << text;
  EXPECT_NE(text.find("[HANDMODE]\nHandValue=2\n"), std::string::npos) << text;

  const SettingsStore next(dir.File("MPCFG.ini"));
  EXPECT_EQ(next.GetSettingString("Settings1", "COMPORT", "COM1"), "ttyUSB0");
  EXPECT_EQ(next.GetSettingInt("HANDMODE", "HandValue", 0), 2);
  const auto back = next.GetSettingBinary("Settings1", "COMCONF");
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, std::vector<std::uint8_t>(record.begin(), record.end()));
}

TEST(SettingsStore, IntegerValues) {
  const struct {
    const char* text;
    std::optional<int> value;
  } cases[] = {
      {"2", 2},
      {"-15", -15},
      {"+4", 4},
      {"  12", 12},
      {"7abc", 7},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"2147483648", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"-", std::nullopt},
      {"0x10", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseSettingInt(c.text), c.value) << c.text;

  TestDir dir;
  dir.Write("MPCFG.ini", "[HANDMODE]\nHandValue=abc\nBig=99999999999\nNeg=-3\n");
  const SettingsStore store(dir.File("MPCFG.ini"));
  EXPECT_EQ(store.GetSettingInt("HANDMODE", "HandValue", 0), 0);
  EXPECT_EQ(store.GetSettingInt("HANDMODE", "HandValue", 1), 1);
  EXPECT_EQ(store.GetSettingInt("HANDMODE", "Big", 1), 1);
  EXPECT_EQ(store.GetSettingInt("handmode", "neg", 1), -3);
}

TEST(SettingsStore, BinaryValuesOfOddOrEmptyLength) {
  TestDir dir;
  dir.Write("MPCFG.ini", "[Settings1]\nOdd=EDB\nEmpty=\nOne=E\nLower=ed\n");
  const SettingsStore store(dir.File("MPCFG.ini"));
  EXPECT_EQ(store.GetSettingBinary("Settings1", "Odd"), std::vector<std::uint8_t>{0x34});
  EXPECT_EQ(store.GetSettingBinary("Settings1", "Empty"), std::nullopt);
  EXPECT_EQ(store.GetSettingBinary("Settings1", "One"), std::nullopt);
  EXPECT_EQ(store.GetSettingBinary("Settings1", "Lower"),
            std::vector<std::uint8_t>{static_cast<std::uint8_t>(('e' - 'A') + 16 * ('d' - 'A'))});
}

TEST(SettingsStore, WritingKeepsTheRestOfADamagedFile) {
  TestDir dir;
  std::string damaged =
      std::string("\xff\xfe\0garbage", 10) + "\r\n; keep me\r\n[Settings1]\r\nCOMPORT=COM4\r\nlong=";
  damaged.append(50000, 'z');
  damaged += "\r\n[User]\r\nmine=yes";
  dir.Write("MPCFG.ini", damaged);
  SettingsStore store(dir.File("MPCFG.ini"));
  EXPECT_EQ(store.GetSettingString("Settings1", "COMPORT"), "COM4");
  ASSERT_TRUE(store.WriteSettingInt("HANDMODE", "HandValue", 3));
  const std::string after = dir.Read("MPCFG.ini");
  EXPECT_EQ(after, damaged + "\r\n\r\n[HANDMODE]\r\nHandValue=3\r\n");
  EXPECT_EQ(store.GetSettingString("User", "mine"), "yes");
}

TEST(SettingsStore, FailedWritesChangeNothing) {
  TestDir dir;
  SettingsStore nowhere(dir.File("missing/MPCFG.ini"));
  EXPECT_FALSE(nowhere.WriteSettingString("Settings1", "COMPORT", "COM2"));

  dir.Write("MPCFG.ini", "[Settings1]\nCOMPORT=COM4\n");
  SettingsStore store(dir.File("MPCFG.ini"));
  EXPECT_FALSE(store.WriteSettingString("Settings1", "COMPORT", "COM2\n[Evil]\nx=1"));
  EXPECT_EQ(dir.Read("MPCFG.ini"), "[Settings1]\nCOMPORT=COM4\n");

  const std::string big(IniFile::kMaxFileSize + 10, 'q');
  dir.Write("big.ini", big);
  SettingsStore bigStore(dir.File("big.ini"));
  EXPECT_FALSE(bigStore.WriteSettingInt("HANDMODE", "HandValue", 1));
  EXPECT_EQ(dir.Read("big.ini").size(), big.size());
}

// A settings file that is not one (a folder, a named pipe, too large): read
// at once as defaults without opening a pipe, never written, said once.
TEST(SettingsStore, AnUnusableFileIsRefusedAtOnceAndReportedOnce) {
  TestDir dir;
  ASSERT_EQ(::mkdir(dir.File("folder.ini").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir.File("pipe.ini").c_str(), 0600), 0);
  dir.Write("big.ini", std::string(IniFile::kMaxFileSize + 1, 'q'));
  std::string noise(3000, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  dir.Write("random.ini", noise);
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {{"folder.ini", "it is a folder"},
               {"pipe.ini", "it is not a regular file"},
               {"big.ini", "it is larger than 16 MB"},
               {"random.ini", "it is not a settings file"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsStore store(dir.File(c.name));
    std::vector<std::string> reports;
    store.SetProblemReporter([&](const std::string& text) { reports.push_back(text); });
    auto read =
        std::async(std::launch::async, [&] { return store.GetSettingString("Settings1", "COMPORT", "x"); });
    if (read.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
      ADD_FAILURE() << "reading the settings blocks";
      ::close(::open(dir.File(c.name).c_str(), O_WRONLY | O_NONBLOCK));  // frees the blocked reader
    }
    EXPECT_EQ(read.get(), "x");
    EXPECT_EQ(store.GetSettingInt("HANDMODE", "HandValue", 4), 4);
    EXPECT_FALSE(store.WriteSettingString("Settings1", "COMPORT", "ttyUSB1"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(dir.File(c.name)), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find(c.reason), std::string::npos) << reports[0];
  }
}

}  // namespace
}  // namespace apdesk
