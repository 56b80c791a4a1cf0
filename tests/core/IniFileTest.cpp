#include "core/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <vector>

#include "app/TestDir.h"

namespace apdesk {
namespace {

using test::TestDir;

TEST(IniFile, ReadsByTheProfileRules) {
  const IniFile ini(
      "; a comment\n"
      "Stray=before any section\n"
      "[Settings1]\n"
      "  COMPORT =  COM3  \n"
      "Empty=\n"
      "Quoted=\"with blanks \"\n"
      "Eq=a=b\n"
      "no equals sign here\n"
      "[ HANDMODE ]\n"
      "HandValue=2\n"
      "[Settings1]\n"
      "Late=only in the second section\n");
  const struct {
    const char* section;
    const char* key;
    std::optional<std::string> value;
  } cases[] = {
      {"Settings1", "COMPORT", "COM3"},
      {"settings1", "comport", "COM3"},  // names are case-insensitive
      {"SETTINGS1", "Empty", ""},
      {"Settings1", "Quoted", "with blanks "},
      {"Settings1", "Eq", "a=b"},
      {"HANDMODE", "HandValue", "2"},  // blanks inside the brackets are trimmed
      {"Settings1", "Missing", std::nullopt},
      {"Settings1", "Late", std::nullopt},  // only the first section of a name counts
      {"", "Stray", std::nullopt},
      {"Nowhere", "COMPORT", std::nullopt},
      {"Settings1", "no equals sign here", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ini.Get(c.section, c.key), c.value) << c.section << "/" << c.key;
}

TEST(IniFile, DamagedTextStillReads) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) & 0xFF));
  const std::string longValue(100000, 'x');
  const std::string text = garbage + "\n[Settings1]\r\nCOMPORT=COM7\r\nNul=a" + std::string(1, '\0') +
                           "b\r\nLong=" + longValue + "\r\n[Other]\r\nLast=no final newline";
  const IniFile ini(text);
  EXPECT_EQ(ini.Get("Settings1", "COMPORT"), "COM7");
  EXPECT_EQ(ini.Get("Settings1", "Nul"), std::string("a\0b", 3));
  EXPECT_EQ(ini.Get("Settings1", "Long"), longValue);
  EXPECT_EQ(ini.Get("Other", "Last"), "no final newline");
  EXPECT_EQ(IniFile("").Get("a", "b"), std::nullopt);
  EXPECT_EQ(IniFile("[").Get("", "b"), std::nullopt);
  EXPECT_EQ(IniFile("[]\n=\n").Get("", ""), "");
}

TEST(IniFile, WritingOneKeyKeepsEverythingElse) {
  const std::string before =
      "; settings of the tool\r\n"
      "[Settings1]\r\n"
      "comport = COM1   ; old\r\n"
      "COMCONF=EDAA\r\n"
      "\r\n"
      "[HANDMODE]\r\n"
      "HandValue=1\r\n";
  const struct {
    const char* section;
    const char* key;
    const char* value;
    std::string after;
  } cases[] = {
      // An existing key keeps its place and its own spelling.
      {"SETTINGS1", "COMPORT", "COM9",
       "; settings of the "
       "tool\r\n[Settings1]\r\ncomport=COM9\r\nCOMCONF=EDAA\r\n\r\n[HANDMODE]\r\nHandValue=1\r\n"},
      // A new key goes after the section's last line, before the blank one.
      {"Settings1", "New", "v",
       "; settings of the tool\r\n[Settings1]\r\ncomport = COM1   ; old\r\nCOMCONF=EDAA\r\nNew=v\r\n\r\n"
       "[HANDMODE]\r\nHandValue=1\r\n"},
      // A new section is added at the end, in the file's line ends.
      {"Extra", "K", "",
       "; settings of the tool\r\n[Settings1]\r\ncomport = COM1   ; old\r\nCOMCONF=EDAA\r\n\r\n[HANDMODE]\r\n"
       "HandValue=1\r\n\r\n[Extra]\r\nK=\r\n"},
      {"HANDMODE", "HandValue", "2",
       "; settings of the tool\r\n[Settings1]\r\ncomport = COM1   ; old\r\nCOMCONF=EDAA\r\n\r\n[HANDMODE]\r\n"
       "HandValue=2\r\n"},
  };
  for (const auto& c : cases) {
    IniFile ini(before);
    ASSERT_TRUE(ini.Set(c.section, c.key, c.value)) << c.key;
    EXPECT_EQ(ini.Text(), c.after) << c.key;
    EXPECT_EQ(ini.Get(c.section, c.key), c.value);
  }
}

TEST(IniFile, WritesIntoFilesWithoutFinalNewlineOrSections) {
  IniFile a("[HANDMODE]\nHandValue=1");
  ASSERT_TRUE(a.Set("HANDMODE", "Other", "x"));
  EXPECT_EQ(a.Text(), "[HANDMODE]\nHandValue=1\nOther=x\n");

  IniFile b("junk without newline");
  ASSERT_TRUE(b.Set("S", "K", "V"));
  EXPECT_EQ(b.Text(), "junk without newline\n\n[S]\nK=V\n");

  IniFile c;
  ASSERT_TRUE(c.Set("Settings1", "COMPORT", "ttyUSB0"));
  EXPECT_EQ(c.Text(), "[Settings1]\nCOMPORT=ttyUSB0\n");
}

TEST(IniFile, RefusesWhatWouldCorruptTheFile) {
  const struct {
    const char* section;
    const char* key;
    std::string value;
  } cases[] = {
      {"S", "K", "two\nlines"}, {"S", "K", "cr\rhere"}, {"S", "K", std::string("n\0l", 3)},
      {"S", "K=V", "x"},        {"S", "", "x"},         {"", "K", "x"},
      {"S]", "K", "x"},         {"S\n[T", "K", "x"},    {"S", " K", "x"},
      {"S", "[K", "x"},
  };
  for (const auto& c : cases) {
    IniFile ini("[S]\nK=old\n");
    EXPECT_FALSE(ini.Set(c.section, c.key, c.value)) << c.section << "/" << c.key;
    EXPECT_EQ(ini.Text(), "[S]\nK=old\n");
  }
}

TEST(IniFile, LoadAndSaveFiles) {
  TestDir dir;
  IniFile ini;
  EXPECT_EQ(IniFile::Load(dir.File("none.ini"), ini), IniFile::LoadResult::Missing);
  EXPECT_EQ(IniFile::Load(dir.Folder(), ini), IniFile::LoadResult::Unreadable);  // a folder

  ASSERT_TRUE(ini.Set("A", "b", "c"));
  ASSERT_TRUE(ini.Save(dir.File("x.ini")));
  EXPECT_EQ(dir.Read("x.ini"), "[A]\nb=c\n");
  ::chmod(dir.File("x.ini").c_str(), 0600);
  ASSERT_TRUE(ini.Set("A", "b", "d"));
  ASSERT_TRUE(ini.Save(dir.File("x.ini")));
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("x.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // the file's own permissions survive the rename

  IniFile again;
  EXPECT_EQ(IniFile::Load(dir.File("x.ini"), again), IniFile::LoadResult::Ok);
  EXPECT_EQ(again.Get("a", "B"), "d");

  // No temp files are left behind.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Folder())) ++entries;
  EXPECT_EQ(entries, 1);

  // Through a link the target is rewritten and the link stays.
  std::filesystem::create_symlink(dir.File("x.ini"), dir.File("link.ini"));
  ASSERT_TRUE(ini.Set("A", "b", "e"));
  ASSERT_TRUE(ini.Save(dir.File("link.ini")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
  EXPECT_EQ(dir.Read("x.ini"), "[A]\nb=e\n");

  EXPECT_FALSE(ini.Save(dir.File("no/such/folder/x.ini")));
  EXPECT_FALSE(ini.Save(""));
}

TEST(IniFile, OversizedFileIsNeitherReadNorReplaced) {
  TestDir dir;
  const std::string big(IniFile::kMaxFileSize + 1, 'x');
  dir.Write("big.ini", big);
  IniFile ini;
  EXPECT_EQ(IniFile::Load(dir.File("big.ini"), ini), IniFile::LoadResult::Unreadable);
  EXPECT_TRUE(ini.Text().empty());
}

}  // namespace
}  // namespace apdesk

namespace apdesk {
namespace {

// Random files made of the format's own tokens: writing one key must give
// that key back and leave every other look-up as it was.
TEST(IniFile, WritingOneKeyNeverDisturbsAnotherOnRandomFiles) {
  const char* tokens[] = {"[", "]", "=",  "\n", "\r\n", " ",    "\t",   "S",     "s",     "T",  "K", "k",
                          "L", "v", "//", ";",  "\"",   "\x1a", "\xff", "[S]\n", "[T]\n", "K=", "L="};
  const char* sections[] = {"S", "T", "s"};
  const char* keys[] = {"K", "L", "k"};
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int n = static_cast<int>(next() % 40);
    for (int i = 0; i < n; ++i) text += tokens[next() % std::size(tokens)];
    if (next() % 4 == 0) text.push_back('\0');
    const char* section = sections[next() % std::size(sections)];
    const char* key = keys[next() % std::size(keys)];

    IniFile ini(text);
    std::vector<std::optional<std::string>> before;
    for (const char* s : sections)
      for (const char* k : keys) before.push_back(ini.Get(s, k));

    ASSERT_TRUE(ini.Set(section, key, "new value")) << text;
    EXPECT_EQ(ini.Get(section, key), "new value") << text;
    std::size_t i = 0;
    for (const char* s : sections) {
      for (const char* k : keys) {
        const bool same =
            (std::toupper(*s) == std::toupper(*section)) && (std::toupper(*k) == std::toupper(*key));
        if (!same) {
          EXPECT_EQ(ini.Get(s, k), before[i]) << "[" << s << "] " << k << " in " << text;
        }
        ++i;
      }
    }
  }
}

}  // namespace
}  // namespace apdesk
