// Replay pacing: records at their original pace from their UTC seconds,
// spread within a second, at 0.1x to 10x, with pause, and never standing
// still on a gap in the flight's clock.

#include "recorder/ReplayPacer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "protocol/SentenceBytes.h"

namespace apdesk {
namespace {

// A record at 2024-05-01 08:00:00 UTC + second (none: an invalid time),
// its altitude field numbering it.
test::Bytes At(int number, int second) {
  test::Bytes s = test::Status();
  s[25] = 24;
  s[26] = second < 0 ? 13 : 5;  // month 13: no valid time
  s[27] = 1;
  s[28] = static_cast<std::uint8_t>(8 + second / 3600);
  s[29] = static_cast<std::uint8_t>(second / 60 % 60);
  s[30] = static_cast<std::uint8_t>(second % 60);
  test::PutU16(s, 48, static_cast<unsigned>(number));
  test::PutSum(s);
  return s;
}

int Number(const RecordBytes& r) {
  return r[48] | r[49] << 8;
}

// Records 0-2 in second 0, 3-4 in second 1, a gap of two minutes, 5 in
// second 121, then 6 without a time.
test::Bytes Flight() {
  test::Bytes file;
  const int seconds[] = {0, 0, 0, 1, 1, 121, -1};
  for (int i = 0; i < 7; ++i) {
    const test::Bytes r = At(i, seconds[i]);
    file.insert(file.end(), r.begin(), r.end());
  }
  file.insert(file.end(), {'x', 'y'});  // a cut-off tail is no record
  return file;
}

// Which record numbers each call at these times hands out.
std::vector<std::vector<int>> Play(ReplayPacer& pacer, std::initializer_list<std::int64_t> times) {
  std::vector<std::vector<int>> out;
  for (std::int64_t t : times) {
    std::vector<RecordBytes> due;
    pacer.NextDue(t, &due);
    std::vector<int> numbers;
    for (const RecordBytes& r : due) numbers.push_back(Number(r));
    out.push_back(numbers);
  }
  return out;
}

using Calls = std::vector<std::vector<int>>;

TEST(ReplayPacer, OriginalPaceSpreadWithinEachSecondAndGapsShortened) {
  const test::Bytes file = Flight();
  ReplayPacer pacer;
  pacer.OpenBytes(file.data(), file.size());
  EXPECT_EQ(pacer.NextDueMs(), std::nullopt) << "not started";
  pacer.Start(10000);
  EXPECT_EQ(pacer.NextDueMs(), 10000);
  // Due at 0, 333, 667 ms; 1000, 1500; 2000 (the gap plays as one second)
  // and 2500 (no time: it shares the second of the record before).
  EXPECT_EQ(Play(pacer, {10000, 10332, 10334, 10999, 11000, 11499, 11500, 11999, 12000, 12499, 12500, 20000}),
            (Calls{{0}, {}, {1}, {2}, {3}, {}, {4}, {}, {5}, {}, {6}, {}}));
  EXPECT_TRUE(pacer.Finished());
  EXPECT_EQ(pacer.Played(), 7u);
  EXPECT_EQ(pacer.NextDueMs(), std::nullopt);
  EXPECT_EQ(pacer.TrailingBytes(), 2u);
}

TEST(ReplayPacer, SpeedPauseAndALateTimer) {
  const test::Bytes file = Flight();
  struct Case {
    const char* what;
    double speed;
    double expectedSpeed;
    std::int64_t fourthDueMs;  // record 3, one flight second after the first
  } cases[] = {{"double", 2, 2, 500},
               {"tenth", 0.1, 0.1, 10000},
               {"too slow", 0.01, 0.1, 10000},
               {"too fast", 50, 10, 100}};
  for (const Case& c : cases) {
    ReplayPacer pacer;
    pacer.OpenBytes(file.data(), file.size());
    pacer.Start(0);
    pacer.SetSpeed(c.speed, 0);
    EXPECT_DOUBLE_EQ(pacer.Speed(), c.expectedSpeed) << c.what;
    std::vector<RecordBytes> due;
    pacer.NextDue(c.fourthDueMs - 1, &due);
    EXPECT_EQ(due.size(), 3u) << c.what;
    EXPECT_EQ(pacer.NextDueMs(), c.fourthDueMs) << c.what;
  }

  ReplayPacer pacer;
  pacer.OpenBytes(file.data(), file.size());
  pacer.Start(0);
  EXPECT_EQ(Play(pacer, {400}), (Calls{{0, 1}}));
  pacer.SetPaused(true, 400);
  EXPECT_TRUE(pacer.Paused());
  EXPECT_EQ(pacer.NextDueMs(), std::nullopt);
  EXPECT_EQ(Play(pacer, {5000}), (Calls{{}})) << "nothing plays while paused";
  pacer.SetPaused(false, 5000);  // on from flight time 0.4 s
  EXPECT_EQ(pacer.NextDueMs(), 5267);
  EXPECT_EQ(Play(pacer, {5266, 5267}), (Calls{{}, {2}}));
  // A timer that comes late gets everything due by then, in order.
  EXPECT_EQ(Play(pacer, {9000}), (Calls{{3, 4, 5, 6}}));
}

TEST(ReplayPacer, AFileWithoutAnyTimePlaysTenASecond) {
  test::Bytes file;
  for (int i = 0; i < 25; ++i) {
    const test::Bytes r = At(i, -1);
    file.insert(file.end(), r.begin(), r.end());
  }
  ReplayPacer pacer;
  pacer.OpenBytes(file.data(), file.size());
  pacer.Start(0);
  std::vector<RecordBytes> due;
  EXPECT_EQ(pacer.NextDue(999, &due), 10u);
  EXPECT_EQ(pacer.NextDue(2450, &due), 15u);
  EXPECT_TRUE(pacer.Finished());

  ReplayPacer none;
  std::string error;
  EXPECT_FALSE(none.Open("/nonexistent/f.hj", &error));
  EXPECT_NE(error.find("/nonexistent/f.hj"), std::string::npos);
  none.Start(0);
  EXPECT_EQ(none.NextDue(1000, &due), 0u);
  EXPECT_TRUE(none.Finished());
}

}  // namespace
}  // namespace apdesk

namespace apdesk {
namespace {

// A file that holds no sound record would replay as a silent device: it is
// refused with the reason, as the record tools refuse it; a sound file opens.
TEST(ReplayPacer, AFileWithoutASoundRecordIsRefused) {
  char tmpl[] = "/tmp/replay-refuse-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  struct Case {
    const char* name;
    test::Bytes bytes;
    const char* says;  // "" when it opens
  };
  test::Bytes noise(3000);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 131 + 7);
  const Case cases[] = {
      {"empty.hj", {}, "is empty: it holds no flight records"},
      {"noise.hj", noise, "is not a flight record: none of its 3000 bytes make a sound record"},
      {"flight.hj", Flight(), ""},
  };
  for (const Case& c : cases) {
    const std::string path = dir + "/" + c.name;
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!c.bytes.empty()) std::fwrite(c.bytes.data(), 1, c.bytes.size(), f);
    std::fclose(f);
    ReplayPacer pacer;
    std::string error;
    EXPECT_EQ(pacer.Open(path, &error), *c.says == 0) << c.name;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
    if (*c.says == 0) {
      std::vector<RecordBytes> due;
      pacer.Start(0);
      EXPECT_EQ(pacer.NextDue(0, &due), 1u) << "the replay starts at the first record";
    }
    std::remove(path.c_str());
  }
  ::rmdir(tmpl);
}

}  // namespace
}  // namespace apdesk
