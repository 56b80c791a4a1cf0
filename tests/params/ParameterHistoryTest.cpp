// The parameter table's values as text, the snapshot store and the
// comparison's merge, without a controller.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "common/HostileFiles.h"
#include "params/ParameterCompare.h"
#include "params/ParameterFile.h"
#include "params/SnapshotStore.h"

namespace apdesk {
namespace {

namespace fs = std::filesystem;

ParameterSentence WithSum(ParameterSentence s) {
  std::memcpy(s.data(), "$PAR", 4);
  unsigned sum = 0;
  for (int i = 0; i < 44; ++i) sum += s[static_cast<std::size_t>(i)];
  s[44] = static_cast<std::uint8_t>(sum);
  return s;
}

ParameterSentence RandomSentence(std::mt19937& random) {
  ParameterSentence s{};
  for (auto& b : s) b = static_cast<std::uint8_t>(random());
  return WithSum(s);
}

// Every code a parameter's bits can hold reads back from its text as the
// same code, or is one the text refuses naming the allowed values (a limit
// code above 1500 m); a code without a word is taken only as the one held.
TEST(ParameterTable, EveryCodeReadsBackFromItsText) {
  for (const ParameterFacts& facts : ParameterTable()) {
    for (int code = 0; code <= (facts.mask >> facts.shift); ++code) {
      const std::string text = FormatParameterValue(facts, code);
      std::string why;
      const std::optional<int> back = ParseParameterValue(facts, text, code, &why);
      if (facts.encoding == ParameterEncoding::Number && code * facts.scale > facts.highest) {
        EXPECT_FALSE(back) << facts.name << " " << code;
        EXPECT_NE(why.find(AllowedValues(facts)), std::string::npos) << why;
        continue;
      }
      ASSERT_TRUE(back) << facts.name << " " << text << ": " << why;
      EXPECT_EQ(*back, code) << facts.name << " " << text;
      if (text.rfind("code:", 0) == 0) {
        EXPECT_FALSE(ParseParameterValue(facts, text, code + 1, &why)) << facts.name << " " << text;
      }
    }
  }
}

// Decoding and encoding again leaves every byte of any sentence as it was,
// named or carried.
TEST(ParameterTable, EncodedDecodedSentenceIsTheSameSentence) {
  std::mt19937 random(7);
  for (int i = 0; i < 500; ++i) {
    const ParameterSentence s = RandomSentence(random);
    const std::optional<Parameters> p = DecodeParameters(s.data());
    ASSERT_TRUE(p);
    EXPECT_EQ(SentenceAfterBlock(ParameterSentence{}, EncodeParameters(*p)),
              SentenceAfterBlock(ParameterSentence{}, [&] {
                ParameterBlock b{};
                for (std::size_t j = 0; j < b.size(); ++j) b[j] = s[kBlockFromSentence[j]];
                return b;
              }()));
    EXPECT_EQ(SentenceAfterBlock(s, EncodeParameters(*p)), s);
  }
}

class SnapshotStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/snapshot-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string dir_;
};

TEST_F(SnapshotStoreTest, StoresWholeFilesAndListsThemNewestFirst) {
  const SnapshotStore store(dir_ + "/a/b/parameters");
  std::mt19937 random(3);
  const Parameters first = *DecodeParameters(RandomSentence(random).data());
  const Parameters second = *DecodeParameters(RandomSentence(random).data());
  std::string path1, path2, error;
  ASSERT_TRUE(store.Store(first, {"2026-01-02T03:04:05Z", "usb", "100123", "send"}, &path1, &error)) << error;
  ASSERT_TRUE(store.Store(second, {"2026-01-02T03:04:06Z", "sim", "", "params set"}, &path2, &error))
      << error;
  EXPECT_NE(path1, path2);

  const std::vector<SnapshotEntry> list = store.List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].path, path2);
  EXPECT_EQ(list[0].notes.write, "params set");
  EXPECT_EQ(list[1].notes.transport, "usb");
  EXPECT_EQ(list[1].notes.firmware, "100123");
  for (const auto& e : fs::directory_iterator(store.Folder()))
    EXPECT_EQ(e.path().extension(), ".params") << e.path();

  // A snapshot is a parameter file that restores the sentence it was taken from.
  std::ifstream in(path1);
  std::stringstream text;
  text << in.rdbuf();
  ParameterFile file;
  ASSERT_TRUE(ParseParameterFile(text.str(), &file, &error)) << error;
  Parameters back;
  ASSERT_TRUE(ParametersFromFile(file, &back, &error)) << error;
  EXPECT_EQ(back, first);

  SnapshotEntry found;
  ASSERT_TRUE(store.Find(list[1].name, &found, &error));
  EXPECT_EQ(found.path, path1);
  EXPECT_FALSE(store.Find("nothing", &found, &error));
  EXPECT_NE(error.find("params history"), std::string::npos) << error;
}

// Whatever else lands in the folder is listed with what is wrong with it (a
// pipe or a link to /dev/zero without holding the reader), restore refuses
// it saying so, and the order follows the time written inside: a snapshot
// dated ahead of the clock is marked and does not pass for the newest.
TEST_F(SnapshotStoreTest, DamagedHostileAndFutureFilesAreListedWithTheirReason) {
  const SnapshotStore store(dir_);
  std::mt19937 random(5);
  const Parameters p = *DecodeParameters(RandomSentence(random).data());
  std::string older, newer, ahead, error;
  ASSERT_TRUE(store.Store(p, {"2026-03-01T10:00:00Z", "usb", "", "send"}, &older, &error)) << error;
  ASSERT_TRUE(store.Store(p, {"2026-03-02T10:00:00Z", "usb", "", "send"}, &newer, &error)) << error;
  ASSERT_TRUE(store.Store(p, {"2099-01-01T00:00:00Z", "usb", "", "send"}, &ahead, &error)) << error;
  // The names say otherwise than the times inside: the time inside decides.
  fs::rename(older, dir_ + "/zzz-older.params");
  std::ifstream in(newer);
  std::stringstream whole;
  whole << in.rdbuf();
  const std::string text = whole.str();
  std::ofstream(dir_ + "/truncated.params") << text.substr(0, text.find("sentence="));
  std::string badSum = text;
  const std::size_t at = badSum.find("sentence=") + 9 + 88;  // the sum's two digits
  badSum[at] = badSum[at] == '0' ? '1' : '0';
  std::ofstream(dir_ + "/badsum.params") << badSum;
  std::ofstream(dir_ + "/junk.params") << "not a parameter file\n";
  ASSERT_EQ(test::MakeHostileFiles(dir_, ".params").size(), 4u);

  const long long now = *ParseUtcTime("2026-06-01T00:00:00Z");
  std::vector<SnapshotEntry> list;
  {
    const test::HangWatchdog watchdog(20);
    list = store.List(now);
  }
  std::map<std::string, const SnapshotEntry*> byName;
  for (const SnapshotEntry& e : list) byName[e.name] = &e;
  struct Case {
    const char* name;
    const char* damage;  // a piece of the reason; "" for a sound one
  };
  const Case cases[] = {
      {"zzz-older.params", ""},
      {"truncated.params", "ends without its \"sentence=\" line"},
      {"badsum.params", "its sum is wrong"},
      {"junk.params", "is not NAME=VALUE"},
      {"pipe.params", "it is not a regular file"},
      {"zero.params", "it is a symbolic link"},
      {"huge.params", "it is larger than 64 KB"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(byName.count(c.name)) << c.name;
    const SnapshotEntry& e = *byName[c.name];
    if (*c.damage == 0) {
      EXPECT_TRUE(e.damage.empty()) << c.name << ": " << e.damage;
      continue;
    }
    EXPECT_NE(e.damage.find(c.damage), std::string::npos) << c.name << ": " << e.damage;
    SnapshotEntry found;
    EXPECT_FALSE(store.Find(c.name, &found, &error)) << c.name;
    EXPECT_NE(error.find("is damaged (" + e.damage + ")"), std::string::npos) << error;
  }
  EXPECT_FALSE(byName.count("folder.params")) << "a folder is not a file of the history";

  // Newest by the time inside first; the one dated ahead after the others.
  EXPECT_EQ(byName["truncated.params"]->notes.time, "2026-03-02T10:00:00Z");  // notes above the damage
  std::vector<std::string> sound;
  for (const SnapshotEntry& e : list)
    if (e.damage.empty()) sound.push_back(e.path);
  EXPECT_EQ(sound, (std::vector<std::string>{newer, dir_ + "/zzz-older.params", ahead}));
  EXPECT_EQ(list[0].path, newer);
  EXPECT_TRUE(byName[fs::path(ahead).filename().string()]->future);
  EXPECT_FALSE(list[0].future);
  EXPECT_EQ(list.size(), 9u);
}

TEST_F(SnapshotStoreTest, AFolderThatCannotBeMadeIsSaidPlainly) {
  std::ofstream(dir_ + "/file") << "x";
  const SnapshotStore store(dir_ + "/file/parameters");
  std::string error;
  EXPECT_FALSE(store.Store(Parameters{}, {}, nullptr, &error));
  EXPECT_NE(error.find("the parameter history folder " + dir_ + "/file/parameters cannot be made"),
            std::string::npos)
      << error;
  EXPECT_FALSE(SnapshotStore("").Store(Parameters{}, {}, nullptr, &error));
  EXPECT_NE(error.find("XDG_DATA_HOME"), std::string::npos) << error;

  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("XDG_DATA_HOME", "/x/data", 1);
  EXPECT_EQ(SnapshotStore::DefaultFolder(), "/x/data/apdesk/parameters/");
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", "/home/pilot", 1);
  EXPECT_EQ(SnapshotStore::DefaultFolder(), "/home/pilot/.local/share/apdesk/parameters/");
  setenv("HOME", home.c_str(), 1);
}

// Only the ticked rows are written, onto the controller's latest sentence.
TEST(ParameterComparison, MergesTheTickedRowsOntoTheCurrentSentence) {
  std::mt19937 random(11);
  const Parameters held = *DecodeParameters(RandomSentence(random).data());
  Parameters wanted = held;
  wanted.SetCode(ParameterId::CellCount, (held.Code(ParameterId::CellCount) + 1) & 0x0F);
  wanted.SetCode(ParameterId::SwayCompensation, (held.Code(ParameterId::SwayCompensation) + 1) & 0xFF);
  ParameterComparison cmp(held, wanted);
  EXPECT_EQ(cmp.Differing(), 2);
  for (ComparisonRow& r : cmp.Rows())
    if (r.id == ParameterId::SwayCompensation) r.ticked = false;

  Parameters current = held;
  current.sentence[4] ^= 0xFF;  // a carried byte changed since the comparison opened
  const Parameters written = cmp.Merge(current);
  EXPECT_EQ(written.sentence, current.sentence);
  EXPECT_EQ(written.Code(ParameterId::CellCount), wanted.Code(ParameterId::CellCount));
  EXPECT_EQ(written.Code(ParameterId::SwayCompensation), held.Code(ParameterId::SwayCompensation));

  // A controller that did not take the value is marked different.
  cmp.ReadBack(current);
  for (const ComparisonRow& r : cmp.Rows()) {
    const auto want =
        r.id == ParameterId::CellCount ? ComparisonRow::ReadBack::Different : ComparisonRow::ReadBack::None;
    EXPECT_EQ(r.readBack, want) << FactsOf(r.id).name;
  }
  cmp.ReadBack(*DecodeParameters(SentenceAfterBlock(current.sentence, EncodeParameters(written)).data()));
  for (const ComparisonRow& r : cmp.Rows()) {
    if (r.ticked) {
      EXPECT_EQ(r.readBack, ComparisonRow::ReadBack::Confirmed);
    }
  }
}

// A file saved as "p1" must be one Load's filter (*.params *.txt) shows.
TEST(ParameterFileName, ANameWithoutExtensionGetsParams) {
  const std::pair<const char*, const char*> cases[] = {
      {"p1", "p1.params"},
      {"/home/u/p1", "/home/u/p1.params"},
      {"/home/u/v1.2/p1", "/home/u/v1.2/p1.params"},
      {"p1.", "p1.params"},
      {".params", ".params.params"},
      {"p1.params", "p1.params"},
      {"p1.txt", "p1.txt"},
      {"/home/u/p1.bak", "/home/u/p1.bak"},
  };
  for (const auto& [typed, saved] : cases) EXPECT_EQ(WithParameterFileSuffix(typed), saved) << typed;
}

}  // namespace
}  // namespace apdesk
