#include "localisation/LanguageFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <climits>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/TestDir.h"

namespace apdesk {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Scan(const std::string& text, const std::string& section, bool gbk = false) {
  LanguageSection s;
  ScanLanguageSection(text, section, gbk, s);
  Pairs p;
  for (std::size_t i = 0; i < s.keys.size(); ++i) p.emplace_back(s.keys[i], s.values[i]);
  return p;
}

TEST(LanguageFile, FormatRules) {
  const std::string longText(700, 'L');
  const struct {
    const char* what;
    std::string text;
    const char* section;
    Pairs expected;
  } cases[] = {
      {"blanks inside the brackets", "[  public\t]\nA=1\n", "public", {{"A", "1"}}},
      {"capital letter names another section", "[Public]\nA=1\n", "public", {}},
      {"after the bracket is ignored", "[public] remark\nA=1\n", "public", {{"A", "1"}}},
      {"no closing bracket: empty name", "[public\nA=1\n", "", {{"A", "1"}}},
      {"no closing bracket is not public", "[public\nA=1\n", "public", {}},
      {"lines before the first header", "A=0\n[public]\nB=1\n", "public", {{"B", "1"}}},
      {"comments anywhere",
       "// c\n[public]\n  // c2\nA=1\n//[other]\nB=2\n",
       "public",
       {{"A", "1"}, {"B", "2"}}},
      {"empty and blank lines", "[public]\n\n \t \nA=1\n", "public", {{"A", "1"}}},
      {"semicolon line without =", "[public]\n;note\n", "public", {{"", ";note"}}},
      {"key and value trimmed", "[public]\n  LID_X \t=  some text  \r\n", "public", {{"LID_X", "some text"}}},
      {"remark cut", "[parameter]\n1021=word // remark\n", "parameter", {{"1021", "word"}}},
      {"value beginning with // stays",
       "[parameter]\n1021=//kept // all\n",
       "parameter",
       {{"1021", "//kept // all"}}},
      {"remark right after text", "[p]\nk=a//b\n", "p", {{"k", "a"}}},
      {"key is never cut", "[p]\na//b=c\n", "p", {{"a//b", "c"}}},
      {"single slash kept", "[p]\nLID_PUB_MS=m/s\n", "p", {{"LID_PUB_MS", "m/s"}}},
      {"two equals signs", "[p]\nk=a=b\n", "p", {{"k", "a=b"}}},
      {"empty value", "[p]\nk=\n", "p", {{"k", ""}}},
      {"CRLF and no final newline", "[p]\r\nk=v\r\nl=w", "p", {{"k", "v"}, {"l", "w"}}},
      {"duplicates kept in order", "[p]\nk=1\nk=2\n", "p", {{"k", "1"}, {"k", "2"}}},
      {"split section", "[p]\na=1\n[q]\nx=9\n[p]\nb=2\n", "p", {{"a", "1"}, {"b", "2"}}},
      {"repeated header right after an entry", "[public]\nA=1\n[public]\nB=2\n", "public", {{"A", "1"}}},
      {"repeated header, then a third", "[p]\na=1\n[p]\nb=2\n[p]\nc=3\n", "p", {{"a", "1"}, {"c", "3"}}},
      {"header after a comment still ends", "[p]\na=1\n// x\n[p]\nb=2\n", "p", {{"a", "1"}}},
      {"long line read whole", "[p]\nk=" + longText + "\n", "p", {{"k", longText}}},
      {"bytes pass unchanged", "[p]\nk=\xE4\xB8\xAD\x01\xFF\n", "p", {{"k", "\xE4\xB8\xAD\x01\xFF"}}},
      {"NUL inside a value", std::string("[p]\nk=a\0b\n", 10), "p", {{"k", std::string("a\0b", 3)}}},
      {"empty file", "", "p", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Scan(c.text, c.section), c.expected) << c.what;
}

TEST(LanguageFile, GbkTrailBytesAreNeverSyntax) {
  // 0x81 is a GBK lead byte: under GBK the byte after it belongs to it.
  const struct {
    const char* what;
    std::string text;
    const char* section;
    Pairs gbk;
    Pairs single;
  } cases[] = {
      {"bracket as trail in a header", "[pub\x81]lic]\nk=v\n", "pub\x81]lic", {{"k", "v"}}, {}},
      {"same header, single-byte view", "[pub\x81]lic]\nk=v\n", "pub\x81", {}, {{"k", "v"}}},
      {"equals sign as trail", "[p]\nk\x81=x=v\n", "p", {{"k\x81=x", "v"}}, {{"k\x81", "x=v"}}},
      {"slash as trail", "[p]\nk=v\x81//c\n", "p", {{"k", "v\x81//c"}}, {{"k", "v\x81"}}},
      {"blank as trail", "[p]\nk=v\x81 \n", "p", {{"k", "v\x81 "}}, {{"k", "v\x81"}}},
      {"tab as trail", "[p]\nk=v\x81\t\n", "p", {{"k", "v\x81\t"}}, {{"k", "v\x81"}}},
      {"lead byte ends the line", "[p]\nk=v\x81\n", "p", {{"k", "v\x81"}}, {{"k", "v\x81"}}},
      {"real GBK text",
       "[p]\n1000=\xC8\xB7\xB6\xA8\n",
       "p",
       {{"1000", "\xC8\xB7\xB6\xA8"}},
       {{"1000", "\xC8\xB7\xB6\xA8"}}},
      {"open bracket as trail is no header",
       "[p]\na=1\n\x81[q]\nb=2\n",
       "p",
       {{"a", "1"}, {"", "\x81[q]"}, {"b", "2"}},
       {{"a", "1"}, {"", "\x81[q]"}, {"b", "2"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Scan(c.text, c.section, true), c.gbk) << c.what;
    EXPECT_EQ(Scan(c.text, c.section, false), c.single) << c.what;
  }
}

TEST(LanguageFile, HeaderAndTrimHelpers) {
  EXPECT_EQ(LanguageHeaderName("[ a b ]", false), "a b");
  EXPECT_EQ(LanguageHeaderName("[]", false), "");
  EXPECT_EQ(LanguageHeaderName("[x]]", false), "x");
  EXPECT_EQ(TrimLanguageLine(" \t\v\f\r\nx y\r\n\t ", false), "x y");
  EXPECT_EQ(TrimLanguageLine("    ", true), "");
  EXPECT_EQ(TrimLanguageLine("\x81 ", true), "\x81 ");
}

TEST(LanguageFile, KeysBecomeControlIdsLikeStrtol) {
  const struct {
    const char* key;
    int id;
  } cases[] = {
      {"1021", 1021},
      {"  -1", -1},
      {"+5", 5},
      {"\t7", 7},
      {"12abc", 12},
      {"1 2", 1},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"0x10", 0},
      {"2147483647", INT_MAX},
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
      {"-2147483648", INT_MIN},
      {"00042", 42},
  };
  for (const auto& c : cases) EXPECT_EQ(ControlIdFromKey(c.key), c.id) << c.key;
}

TEST(LanguageFile, Utf8Validity) {
  const struct {
    std::string bytes;
    bool valid;
  } cases[] = {
      {"plain", true},
      {"\xE4\xB8\xAD\xE6\x96\x87", true},
      {"\xC3\xA9", true},
      {"\xF0\x9F\x98\x80", true},
      {"\xD6\xD0\xCE\xC4", false},
      {"\xE4\xB8", false},
      {"\xC0\xAF", false},
      {"\xED\xA0\x80", false},
      {"\xF4\x90\x80\x80", false},
      {"\xE0\x80\xAF", false},
      {"\xFF", false},
      {"\xC3", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(LanguageFile, ReadingFiles) {
  test::TestDir dir;
  LanguageSection s;
  EXPECT_FALSE(ReadLanguageSection(dir.File("absent.ini"), "public", false, s));
  EXPECT_FALSE(ReadLanguageSection(dir.Folder(), "public", false, s));
  EXPECT_TRUE(s.keys.empty());

  // A GBK file is scanned as GBK; a file that is UTF-8 is not, so a UTF-8
  // character before "]" keeps its bracket.
  dir.Write("gbk.ini", "[p\x81]]\r\nk=v\r\n");
  EXPECT_TRUE(ReadLanguageSection(dir.File("gbk.ini"), "p\x81]", true, s));
  EXPECT_EQ(s.values, std::vector<std::string>{"v"});

  dir.Write("utf8.ini", "[\xE4\xB8\xAD]\nk=\xE6\x96\x87\n");
  LanguageSection u;
  EXPECT_TRUE(ReadLanguageSection(dir.File("utf8.ini"), "\xE4\xB8\xAD", true, u));
  EXPECT_EQ(u.values, std::vector<std::string>{"\xE6\x96\x87"});

  // Reading appends.
  EXPECT_TRUE(ReadLanguageSection(dir.File("gbk.ini"), "p\x81]", true, s));
  EXPECT_EQ(s.keys.size(), 2u);
}

// The book reads its file once: sections asked for later come from what was
// read, even when the file changed or went away since.
TEST(LanguageFile, ABookAnswersFromWhatItRead) {
  test::TestDir dir;
  LanguageBook book;
  EXPECT_FALSE(book.Read(dir.File("absent.ini"), false));
  EXPECT_FALSE(book.IsRead());
  LanguageSection none;
  book.Section("public", none);
  EXPECT_TRUE(none.keys.empty());

  dir.Write("gbk.ini", "[public]\r\nk=v\r\n[w\x81]]\r\n1=one\r\n");
  ASSERT_TRUE(book.Read(dir.File("gbk.ini"), true));
  ASSERT_EQ(std::remove(dir.File("gbk.ini").c_str()), 0);
  LanguageSection pub, window;
  book.Section("public", pub);
  book.Section("w\x81]", window);
  EXPECT_EQ(pub.values, std::vector<std::string>{"v"});
  EXPECT_EQ(window.keys, std::vector<std::string>{"1"});
  // A failed read empties the book.
  EXPECT_FALSE(book.Read(dir.File("gbk.ini"), true));
  LanguageSection after;
  book.Section("public", after);
  EXPECT_TRUE(after.keys.empty());
}

}  // namespace
}  // namespace apdesk

namespace apdesk {
namespace {

// Random lines of the format's own tokens and GBK-looking bytes: the scan
// ends, pairs keys with values, and single-byte text reads the same either way.
TEST(LanguageFile, RandomTextScans) {
  const char* tokens[] = {"[", "]",    "=",    "\n",       "\r\n", " ",     "\t",    "p",  "//", "/",
                          ";", "1021", "\x81", "\xD6\xD0", "\xFE", "\x81]", "[p]\n", "k=", "\0"};
  std::uint32_t seed = 777;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int n = static_cast<int>(next() % 60);
    bool ascii = true;
    for (int i = 0; i < n; ++i) {
      const char* t = tokens[next() % std::size(tokens)];
      const std::string tok = *t ? std::string(t) : std::string(1, '\0');
      for (char c : tok) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
      text += tok;
    }
    LanguageSection gbk, single;
    ScanLanguageSection(text, "p", true, gbk);
    ScanLanguageSection(text, "p", false, single);
    ASSERT_EQ(gbk.keys.size(), gbk.values.size());
    ASSERT_EQ(single.keys.size(), single.values.size());
    if (ascii) {
      EXPECT_EQ(gbk.keys, single.keys) << text;
      EXPECT_EQ(gbk.values, single.values) << text;
    }
  }
}

// Files that cannot serve say why; a named pipe is judged without being
// opened, so reading it neither blocks nor yields texts.
TEST(LanguageFile, UnusableFilesSayWhyAndAPipeIsNeverOpened) {
  test::TestDir dir;
  dir.Write("empty.ini", "");
  dir.Write("good.ini", "[public]\nA=b\n");
  ASSERT_EQ(::mkfifo(dir.File("pipe.ini").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(dir.File("folder.ini").c_str(), 0755), 0);
  const std::pair<const char*, const char*> cases[] = {
      {"good.ini", ""},
      {"empty.ini", "it is empty"},
      {"none.ini", "it does not exist"},
      {"pipe.ini", "it is not a regular file"},
      {"folder.ini", "it is a folder"},
  };
  for (const auto& [name, problem] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(LanguageFileProblem(dir.File(name)), problem);
  }
  LanguageSection out;
  EXPECT_FALSE(ReadLanguageSection(dir.File("pipe.ini"), "public", false, out));  // would block if opened
  EXPECT_TRUE(out.keys.empty());
}

}  // namespace
}  // namespace apdesk
