// What the file reader and the whole-file writer promise on every platform
// (this test also runs under wine).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "common/ScratchFolder.h"
#include "files/RegularFile.h"
#include "files/WholeFile.h"

namespace apdesk {
namespace {

namespace fs = std::filesystem;

class FilesEverywhere : public test::ScratchFolder {
 public:
  FilesEverywhere() : ScratchFolder("files-everywhere-") {}
};

TEST_F(FilesEverywhere, WrittenWholeAndReadBack) {
  struct Case {
    const char* what;
    const char* old;  // nullptr: no file there before
    WholeFileRules rules;
  } cases[] = {
      {"a new result", nullptr, kNamedFileRules},
      {"a replaced result, longer before", "old text, longer than the new one", kNamedFileRules},
      {"the settings file", "[A]\nb=c\n", kSettingsFileRules},
      {"a snapshot", nullptr, kOwnFileRules},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = At("f" + std::to_string(++n) + ".txt");
    if (c.old != nullptr) std::ofstream(path, std::ios::binary) << c.old;
    std::string error;
    ASSERT_TRUE(WriteWholeFile(path, "new\r\ntext\n", &error, c.rules)) << error;
    std::string text, why;
    ASSERT_EQ(ReadRegularFile(path, {}, &text, &why), FileOpen::Ok) << why;
    EXPECT_EQ(text, "new\r\ntext\n");  // bytes as they were, no line-end translation
  }
  EXPECT_EQ(Entries(), 4u) << "a temporary file was left behind";
}

TEST_F(FilesEverywhere, RefusalsSayWhyAndChangeNothing) {
  fs::create_directory(At("folder"));
  std::ofstream(At("big.txt"), std::ios::binary) << std::string(2000, 'x');
  std::string error;
  EXPECT_FALSE(WriteWholeFile(At("folder"), "x", &error));
  EXPECT_EQ(error, "cannot write " + At("folder") + ": it is a folder");
  EXPECT_FALSE(WriteWholeFile(At("missing/x.txt"), "x", &error));
  EXPECT_EQ(error, "cannot write " + At("missing/x.txt") + ": no such folder");

  std::string text, why;
  EXPECT_EQ(ReadRegularFile(At("nothing.txt"), {}, &text, &why), FileOpen::Missing);
  RegularFileOptions small;
  small.maxBytes = 1024;
  EXPECT_EQ(ReadRegularFile(At("big.txt"), small, &text, &why), FileOpen::Refused);
  EXPECT_EQ(why, "it is larger than 1 KB");
  EXPECT_EQ(ReadRegularFile(At("folder"), {}, &text, &why), FileOpen::Refused);
  EXPECT_EQ(Entries(), 2u);
}

}  // namespace
}  // namespace apdesk
