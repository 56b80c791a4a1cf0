// The shipped language files against the code that asks them for texts.

#include <gtest/gtest.h>
#include <iconv.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "localisation/LanguageFile.h"

namespace apdesk {
namespace {

const std::string kSourceDir = APDESK_SOURCE_DIR;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string LanguageFile(const char* name) {
  return ReadAll(kSourceDir + "/resources/Language/" + name);
}

LanguageSection Section(const std::string& text, const char* section, bool gbk) {
  LanguageSection s;
  ScanLanguageSection(text, section, gbk, s);
  return s;
}

std::set<std::string> Keys(const LanguageSection& s) {
  return {s.keys.begin(), s.keys.end()};
}

// Every "LID_..." string literal in the program's sources.
std::set<std::string> KeysAskedByTheCode(int& filesScanned) {
  std::set<std::string> keys;
  // A literal ending in "_" is the start of keys the code completes (a
  // field's name after it), not a key of its own.
  const std::regex literal("\"(LID_[A-Za-z0-9_]*[A-Za-z0-9])\"");
  filesScanned = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(kSourceDir + "/src")) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    ++filesScanned;
    const std::string text = ReadAll(entry.path().string());
    for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it)
      keys.insert((*it)[1]);
  }
  return keys;
}

// The keys the windows are built to ask for, whether or not their code exists yet.
const std::set<std::string> kRequiredKeys = {
    "LID_MAIN_CAPTION",
    "LID_PUB_Manual",
    "LID_PUB_AutoHovering",
    "LID_PUB_AutoNavigation",
    "LID_PUB_Circleposition",
    "LID_PUB_Realtimewaypoint",
    "LID_PUB_Autowaypointcircling",
    "LID_PUB_Semautomatic",
    "LID_PUB_SettingsState",
    "LID_PUB_ZeroGyro",
    "LID_PUB_ALTError",
    "LID_PUB_AirspeedError",
    "LID_PUB_BackLanding",
    "LID_PUB_ManualSetAltitude",
    "LID_PUB_JapanHand",
    "LID_PUB_AmericanHand",
    "LID_PUB_ChinaHand",
    "LID_PUB_EuropeHand",
    "LID_PUB_Rudder",
    "LID_PUB_Elevator",
    "LID_PUB_Throttle",
    "LID_PUB_Aileron",
    "LID_PUB_PLANETYPE4A10",
    "LID_PUB_PLANETYPE4AX",
    "LID_PUB_PLANETYPE6A10",
    "LID_PUB_PLANETYPE6AX",
    "LID_PUB_DIST0",
    "LID_PUB_DIST1",
    "LID_PUB_DIST2",
    "LID_PUB_DIST3",
    "LID_PUB_ALT0",
    "LID_PUB_ALT1",
    "LID_PUB_ALT2",
    "LID_PUB_FS0",
    "LID_PUB_FS1",
    "LID_PUB_FS2",
    "LID_PUB_MS",
    "LID_PUB_DEFINE",
    "LID_PUB_V",
    "LID_COM_HINT1",
    "LID_COM_HINT2",
    "LID_PUB_Left",
    "LID_PUB_Right",
    "LID_PUB_Down",
    "LID_PUB_Up",
    "LID_HINT_ALT",
    "LID_HINT_DIS",
    "LID_HINT_Transmitter1",
    "LID_HINT_Transmitter2",
    "LID_HINT_Transmitter3",
    "LID_USB_HINT1",
    "LID_USB_HINT2",
    "LID_TRANSMITTER_CAPTION",
    "LID_HINT_Transmitter4",
    "LID_PUB_UPGRADE_CAPTION",
    "LID_PUB_UPGRADE_ERASE",
    "LID_PUB_UPGRADE_DOWNLOAD",
    "LID_PUB_UPGRADE_VERIFY",
    "LID_PUB_UPGRADE_VERIFYERR",
    "LID_PUB_UPGRADE_SUCCESS",
    "LID_HINT_RANGE",
    "LID_HINT_READFIRST",
    "LID_GPS_CAPTION",
    "LID_GPS_GOOD",
    "LID_GPS_WRONG",
    "LID_GPS_TURN",
};

TEST(LanguageKeys, EveryKeyTheCodeAsksForIsInBothFiles) {
  int files = 0;
  const std::set<std::string> asked = KeysAskedByTheCode(files);
  ASSERT_GT(files, 0) << "no sources found under " << kSourceDir;
  const std::set<std::string> english = Keys(Section(LanguageFile("Default.ini"), "public", false));
  const std::set<std::string> chinese = Keys(Section(LanguageFile("Chinese.ini"), "public", true));
  ASSERT_FALSE(english.empty());
  ASSERT_FALSE(chinese.empty());
  for (const std::string& key : asked) {
    EXPECT_TRUE(english.count(key)) << key << " is asked for but missing from Default.ini";
    EXPECT_TRUE(chinese.count(key)) << key << " is asked for but missing from Chinese.ini";
  }
  for (const std::string& key : kRequiredKeys) {
    EXPECT_TRUE(english.count(key)) << key << " missing from Default.ini";
    EXPECT_TRUE(chinese.count(key)) << key << " missing from Chinese.ini";
  }
}

TEST(LanguageKeys, BothFilesHoldTheSameKeysWithTexts) {
  const std::string english = LanguageFile("Default.ini"), chinese = LanguageFile("Chinese.ini");
  for (const char* section : {"public", "parameter", "flyhint", "upgrade", "flightrecords", "gpscheck"}) {
    const LanguageSection e = Section(english, section, false), c = Section(chinese, section, true);
    EXPECT_FALSE(e.keys.empty()) << section;
    EXPECT_EQ(Keys(e), Keys(c)) << section;
    EXPECT_EQ(Keys(e).size(), e.keys.size()) << "a key repeated in Default.ini [" << section << "]";
    EXPECT_EQ(Keys(c).size(), c.keys.size()) << "a key repeated in Chinese.ini [" << section << "]";
    for (std::size_t i = 0; i < e.values.size(); ++i) EXPECT_FALSE(e.values[i].empty()) << e.keys[i];
    for (std::size_t i = 0; i < c.values.size(); ++i) EXPECT_FALSE(c.values[i].empty()) << c.keys[i];
    if (std::string(section) != "public") {
      for (const std::string& k : e.keys) EXPECT_NE(ControlIdFromKey(k), 0) << section << " key " << k;
    }
  }
  // The controls each window needs a text for.
  const std::set<std::string> gpscheck = {"1040", "1041", "1042", "1043", "1044",
                                          "1045", "1046", "1047", "1000", "1002"};
  EXPECT_EQ(Keys(Section(english, "gpscheck", false)), gpscheck);
  const std::set<std::string> flyhint = {"1000", "1019"};
  EXPECT_EQ(Keys(Section(english, "flyhint", false)), flyhint);
  for (const char* id : {"1033", "1008", "1019"})
    EXPECT_TRUE(Keys(Section(english, "upgrade", false)).count(id)) << id;
  for (const char* id :
       {"1023", "1024", "1234", "1244", "1252", "1232", "1251", "1243", "1238", "1246", "1248",
        "1245", "1249", "1247", "1241", "1237", "1027", "1028", "1029", "1019", "1003", "1088",
        "1233", "1036", "1030", "1032", "1033", "1034", "1035", "1031", "1239", "1219", "1000"})
    EXPECT_TRUE(Keys(Section(english, "parameter", false)).count(id)) << id;
}

TEST(LanguageKeys, EncodingsOfTheFiles) {
  const std::string english = LanguageFile("Default.ini");
  for (char ch : english) EXPECT_LT(static_cast<unsigned char>(ch), 0x80u) << "Default.ini is plain ASCII";

  // Chinese.ini is GBK, as the files users already have, and so not UTF-8.
  const std::string chinese = LanguageFile("Chinese.ini");
  ASSERT_FALSE(chinese.empty());
  EXPECT_FALSE(IsValidUtf8(chinese));
  iconv_t cd = iconv_open("UTF-8", "GBK");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(chinese.size() * 2, '\0');
  char* in = const_cast<char*>(chinese.data());
  std::size_t inLeft = chinese.size(), outLeft = out.size();
  char* o = out.data();
  EXPECT_NE(iconv(cd, &in, &inLeft, &o, &outLeft), static_cast<std::size_t>(-1)) << "invalid GBK";
  EXPECT_EQ(inLeft, 0u);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  EXPECT_NE(out.find("LID_TRANSMITTER_CAPTION=\xE9\x81\xA5\xE6\x8E\xA7\xE5\x99\xA8\xE6\xA0\xA1\xE5\x87\x86"),
            std::string::npos);  // 遥控器校准
  // Both end their lines with CR LF, as the platform's own editors write them.
  for (const std::string* file : {&english, &chinese}) {
    for (std::size_t i = 0; i < file->size(); ++i) {
      if ((*file)[i] == '\n') {
        ASSERT_TRUE(i > 0 && (*file)[i - 1] == '\r') << "a bare LF at byte " << i;
      }
    }
  }
}

}  // namespace
}  // namespace apdesk
