// Only a regular file of the bounded size is read; whatever else sits in its
// place is refused at once with the reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/HostileFiles.h"
#include "files/RegularFile.h"

namespace apdesk {
namespace {

TEST(RegularFile, ReadsOnlyARegularFileWithinItsBound) {
  char tmpl[] = "/tmp/regular-file-test-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  std::ofstream(dir + "/plain") << "twelve bytes";
  ASSERT_EQ(::symlink((dir + "/plain").c_str(), (dir + "/link").c_str()), 0);

  struct Case {
    std::string path;
    std::uint64_t bound;
    bool noFollow;
    FileOpen want;
    const char* why;  // what the reason says, or the text read
  };
  std::vector<Case> cases = {
      {dir + "/plain", 12, false, FileOpen::Ok, "twelve bytes"},
      {dir + "/plain", 11, false, FileOpen::Refused, "it is larger than 11 bytes"},
      {dir + "/link", 64, false, FileOpen::Ok, "twelve bytes"},
      {dir + "/link", 64, true, FileOpen::Refused, "it is a symbolic link"},
      {dir + "/none", 64, false, FileOpen::Missing, "it does not exist"},
  };
  for (const test::HostileFile& h : test::MakeHostileFiles(dir, "")) {
    const bool folder = std::string(h.what) == "folder";
    const bool huge = std::string(h.what) == "3 GB sparse file";
    cases.push_back({h.path, std::uint64_t{16} << 20, false, FileOpen::Refused,
                     folder ? "it is a folder" : huge ? "it is larger than 16 MB" : "it is not a regular file"});
  }
  ASSERT_EQ(cases.size(), 9u) << "every hostile kind could be made";

  const test::HangWatchdog watchdog(20);
  for (const Case& c : cases) {
    RegularFileOptions options;
    options.maxBytes = c.bound;
    options.noFollow = c.noFollow;
    std::string text = "untouched", why;
    EXPECT_EQ(ReadRegularFile(c.path, options, &text, &why), c.want) << c.path;
    if (c.want == FileOpen::Ok) {
      EXPECT_EQ(text, c.why) << c.path;
    } else {
      EXPECT_EQ(why, c.why) << c.path;
      EXPECT_EQ(text, "untouched") << c.path;
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace apdesk
