#include "localisation/LanguageText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "common/ScopedEnv.h"

namespace apdesk {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

using ::test::ScopedEnv;

TEST(LanguageText, DecodesForDisplay) {
  const struct {
    const char* what;
    std::string bytes;
    bool chinese;
    std::string utf8;
  } cases[] = {
      {"UTF-8 stays", "\xE4\xB8\xAD\xE6\x96\x87", true, "\xE4\xB8\xAD\xE6\x96\x87"},
      {"UTF-8 stays in Default.ini", "caf\xC3\xA9", false, "caf\xC3\xA9"},
      {"ASCII", "Open USB", true, "Open USB"},
      {"GBK", "\xD6\xD0\xCE\xC4", true, "\xE4\xB8\xAD\xE6\x96\x87"},
      {"GBK extension character", "\x81\x40", true, "\xE4\xB8\x82"},
      {"Windows-1252", "caf\xE9 \x80", false, "caf\xC3\xA9 \xE2\x82\xAC"},
      {"undefined Windows-1252 byte", "a\x81z", false, "a" + kReplacement + "z"},
      {"invalid GBK pair", "\x81\x20z", true, kReplacement + " z"},
      {"GBK cut off at the end", "\xD6\xD0\xCE", true, "\xE4\xB8\xAD" + kReplacement},
      {"empty", "", true, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeLanguageText(c.bytes, c.chinese), c.utf8) << c.what;
}

TEST(LanguageText, LongTextDecodesWhole) {
  std::string gbk, utf8;
  for (int i = 0; i < 3000; ++i) {
    gbk += "\xD6\xD0";
    utf8 += "\xE4\xB8\xAD";
  }
  gbk += "\xFF";  // one bad byte at the very end
  EXPECT_EQ(DecodeLanguageText(gbk, true), utf8 + kReplacement);
}

TEST(LanguageText, ChineseLocaleFromTheEnvironment) {
  const struct {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    bool chinese;
  } cases[] = {
      {nullptr, nullptr, "zh_CN.UTF-8", true},
      {nullptr, nullptr, "zh_CN.GBK", true},
      {nullptr, nullptr, "zh_CN", true},
      {nullptr, nullptr, "zh_TW.UTF-8", false},
      {nullptr, nullptr, "en_US.UTF-8", false},
      {nullptr, nullptr, nullptr, false},
      {"en_GB.UTF-8", nullptr, "zh_CN.UTF-8", false},  // LC_ALL wins
      {"", nullptr, "zh_CN.UTF-8", true},              // an empty one counts as unset
      {nullptr, "zh_CN.UTF-8", "en_US.UTF-8", true},
      {nullptr, "C", "zh_CN.UTF-8", false},
      {"zh_CN.UTF-8", "C", "C", true},
  };
  for (const auto& c : cases) {
    ScopedEnv a("LC_ALL", c.lcAll), m("LC_MESSAGES", c.lcMessages), l("LANG", c.lang);
    EXPECT_EQ(IsChineseLocaleFromEnv(), c.chinese)
        << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

}  // namespace
}  // namespace apdesk
