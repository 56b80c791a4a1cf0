#include "files/WholeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/ScratchFolder.h"

namespace apdesk {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

class WholeFile : public test::ScratchFolder {
 public:
  WholeFile() : ScratchFolder("wholefile-") {}
};

// Whatever the name is, it is still that kind of thing afterwards and the
// text arrived where the name leads.
TEST_F(WholeFile, WritesWhatTheNameNamesAndLeavesItWhatItWas) {
  struct Case {
    const char* what;
    std::function<std::string(WholeFile&)> make;  // returns the name to write
    std::function<void(WholeFile&, const std::string&)> check;
  };
  const std::string text = "new text\n";
  const Case cases[] = {
      {"a new file", [](WholeFile& t) { return t.At("new.txt"); },
       [&](WholeFile&, const std::string& p) { EXPECT_EQ(Slurp(p), text); }},
      {"an old file keeps its permissions",
       [](WholeFile& t) {
         std::ofstream(t.At("old.txt")) << "old text, longer than the new one\n";
         chmod(t.At("old.txt").c_str(), 0640);
         return t.At("old.txt");
       },
       [&](WholeFile&, const std::string& p) {
         EXPECT_EQ(Slurp(p), text);
         EXPECT_EQ(fs::status(p).permissions(), fs::perms(0640));
       }},
      {"a symbolic link",
       [](WholeFile& t) {
         std::ofstream(t.At("target.txt")) << "old";
         fs::create_symlink("target.txt", t.At("link.txt"));
         return t.At("link.txt");
       },
       [&](WholeFile& t, const std::string& p) {
         EXPECT_TRUE(fs::is_symlink(p));
         EXPECT_EQ(Slurp(t.At("target.txt")), text);
       }},
      {"a link to a file not there yet",
       [](WholeFile& t) {
         fs::create_symlink("later.txt", t.At("dangling.txt"));
         return t.At("dangling.txt");
       },
       [&](WholeFile& t, const std::string& p) {
         EXPECT_TRUE(fs::is_symlink(p));
         EXPECT_EQ(Slurp(t.At("later.txt")), text);
       }},
      {"a name of 255 characters", [](WholeFile& t) { return t.At(std::string(251, 'n') + ".csv"); },
       [&](WholeFile&, const std::string& p) { EXPECT_EQ(Slurp(p), text); }},
      {"a device", [](WholeFile&) { return std::string("/dev/null"); },
       [&](WholeFile&, const std::string& p) { EXPECT_TRUE(fs::is_character_file(p)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = c.make(*this);
    const std::size_t before = Entries();
    std::string error;
    EXPECT_TRUE(WriteWholeFile(path, text, &error)) << error;
    c.check(*this, path);
    EXPECT_LE(Entries(), before + 1);  // at most the new file
  }
}

TEST_F(WholeFile, ANamedPipeIsWrittenThroughToItsReader) {
  const std::string fifo = At("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto reader = std::async(std::launch::async, [&] { return Slurp(fifo); });
  std::string error;
  // The writer may come first: then the pipe has no reader yet and is refused.
  bool written = false;
  for (int i = 0; i < 200 && !written; ++i) {
    written = WriteWholeFile(fifo, "through the pipe", &error);
    if (!written) usleep(10000);
  }
  EXPECT_TRUE(written) << error;
  EXPECT_EQ(reader.get(), "through the pipe");
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(WholeFile, FailuresSayWhyAndLeaveTheOldFile) {
  const std::string fifo = At("unread");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(At("kept.txt")) << "kept";
  fs::create_directory(At("folder"));
  struct Case {
    std::string path;
    const char* reason;
  } cases[] = {
      {At("folder"), "it is a folder"},
      {At("missing/x.csv"), "no such folder"},
      {fifo, "a named pipe that nobody reads"},
      {"/dev/full", "the disk is full"},
      {At(std::string(256, 'n')), "the name is too long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string error;
    EXPECT_FALSE(WriteWholeFile(c.path, "text", &error));
    EXPECT_NE(error.find("cannot write " + c.path + ": "), std::string::npos) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
  EXPECT_EQ(Slurp(At("kept.txt")), "kept");
  EXPECT_EQ(Entries(), 3u) << "a temporary file was left behind";
}

// The stricter rules refuse what may not be written in their place and
// leave it as it was.
TEST_F(WholeFile, StricterRulesRefuseLinksAndSpecialFiles) {
  std::ofstream(At("target.txt")) << "old";
  fs::create_symlink("target.txt", At("link.txt"));
  const std::string fifo = At("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    const char* what;
    WholeFileRules rules;
    std::string path;
    const char* reason;  // nullptr: written
  } cases[] = {
      {"own file through a link", kOwnFileRules, At("link.txt"), "it is a symbolic link"},
      {"own file onto a device", kOwnFileRules, "/dev/null", "it is not a regular file"},
      {"own file onto a pipe", kOwnFileRules, fifo, "it is not a regular file"},
      {"settings onto a device", kSettingsFileRules, "/dev/null", "it is not a regular file"},
      {"settings onto a pipe", kSettingsFileRules, fifo, "it is not a regular file"},
      {"settings through a link", kSettingsFileRules, At("link.txt"), nullptr},
      {"own file, new", kOwnFileRules, At("own.txt"), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    const bool written = WriteWholeFile(c.path, "new", &error, c.rules);
    if (c.reason == nullptr) {
      EXPECT_TRUE(written) << error;
      continue;
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "cannot write " + c.path + ": " + c.reason);
  }
  EXPECT_TRUE(fs::is_symlink(At("link.txt")));
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(Slurp(At("target.txt")), "new");  // only through the settings' rules
  EXPECT_EQ(Slurp(At("own.txt")), "new");
  EXPECT_EQ(Entries(), 4u) << "a temporary file was left behind";
}

}  // namespace
}  // namespace apdesk
