#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>

#include "SimHarness.h"

using apdesk::sim::SimController;
using apdesk::sim::SimOptions;
using namespace simtest;

namespace {

SimOptions Quiet(bool reports = true) {
  SimOptions o;
  o.reports = reports;
  o.faults.garbage = false;
  return o;
}

int HeadingDegrees(const Sentence& s) {
  return static_cast<int>(F32(s.bytes, 20) * 180.0 / 3.14159265);
}

}  // namespace

TEST(SimTelemetry, StreamsStatusAtItsRateAmongIgnoredSentences) {
  struct Case {
    bool reports;
    double rate;
    bool garbage;
  };
  for (const Case k :
       {Case{true, 10, true}, Case{false, 10, true}, Case{true, 25, false}, Case{false, 50, false}}) {
    SCOPED_TRACE(testing::Message() << "reports " << k.reports << " rate " << k.rate);
    SimOptions o = Quiet(k.reports);
    o.rateHz = k.rate;
    o.faults.garbage = k.garbage;
    Harness h(o);
    h.RunUntil(20000, 7);
    if (k.reports) {
      EXPECT_EQ(h.stream.size(), h.reports * 64);
    }

    const Decoded d = Decode(h.stream);
    EXPECT_EQ(d.tail, 0u);
    std::size_t status = 0;
    std::set<std::string> tags;
    for (const Sentence& s : d.sentences) {
      tags.insert(s.tag);
      if (s.tag == "$STP") {
        ++status;
        EXPECT_TRUE(SumOk(s.bytes));
      }
    }
    EXPECT_NEAR(static_cast<double>(status), k.rate * 20, 1.0);
    for (const char* t : {"$MG1", "$DIN", "$LIM", "$PUR", "$SETD", "$MG2", "$MG3", "$DOCAP", "$DOYMM",
                          "$DOYMA", "$1MIN", "$PAED", "$QUZA"}) {
      EXPECT_TRUE(tags.count(t)) << t;
    }
    // Wrong lengths would leave stray bytes; only the garbage bursts may.
    if (k.garbage) {
      EXPECT_GT(d.strayBytes, 0u);
    } else {
      EXPECT_EQ(d.strayBytes, 0u);
    }
  }
}

TEST(SimTelemetry, ValuesArePlausibleAndMove) {
  SimOptions o = Quiet();
  Harness h(o);
  h.RunUntil(600000, 50);  // ten minutes
  const auto stp = h.Sent("$STP");
  ASSERT_GE(stp.size(), 5990u);

  const auto& first = stp.front().bytes;
  EXPECT_EQ(first[25], 24);  // 2024-05-01 08:00:00
  EXPECT_EQ(first[26], 5);
  EXPECT_EQ(first[27], 1);
  EXPECT_EQ(first[28], 8);
  EXPECT_EQ(first[29], 0);
  EXPECT_EQ(stp[10].bytes[30], 1);    // ten sentences a second
  EXPECT_EQ(stp[5999].bytes[29], 9);  // 08:09:59
  EXPECT_EQ(stp[5999].bytes[30], 59);

  std::set<float> lats;
  std::set<int> sticks, throttles, statuses;
  int minAlt = 1 << 20, maxAlt = -(1 << 20);
  for (const Sentence& s : stp) {
    const auto& b = s.bytes;
    EXPECT_NEAR(F32(b, 4), o.startLatitude, 0.001);
    EXPECT_NEAR(F32(b, 8), o.startLongitude, 0.001);
    lats.insert(F32(b, 4));
    EXPECT_GE(b[24], 6);
    EXPECT_LE(b[24], 16);
    const double volts = SignedReading(b, 70) * 20 / 4096.0;
    EXPECT_GE(volts, 10.7);
    EXPECT_LE(volts, 12.7);
    EXPECT_EQ(U16(b, 96), o.firmwareVersion);
    EXPECT_GE(F32(b, 20), 0.0f);
    EXPECT_LT(F32(b, 20), 6.2832f);
    sticks.insert(b[32]);
    throttles.insert(200 - b[35]);
    statuses.insert(b[75]);
    minAlt = std::min(minAlt, SignedReading(b, 48));
    maxAlt = std::max(maxAlt, SignedReading(b, 48));
    EXPECT_EQ(b[92], 0);
  }
  EXPECT_GT(lats.size(), 20u);  // a float holds 22.5 degrees to about 2e-6
  EXPECT_GT(*lats.rbegin() - *lats.begin(), 4e-5f);
  EXPECT_GT(sticks.size(), 50u);
  EXPECT_TRUE(sticks.count(128));  // the sticks rest at centre now and then
  EXPECT_LE(*throttles.begin(), 7);
  EXPECT_GE(*throttles.rbegin(), 100);
  EXPECT_GE(statuses.size(), 5u);
  EXPECT_TRUE(statuses.count(15));
  EXPECT_LT(minAlt, 0);
  EXPECT_GT(maxAlt, 150);
  // The battery runs down: half a volt in ten minutes.
  EXPECT_NEAR(SignedReading(first, 70) * 20 / 4096.0, 12.6, 0.02);
  EXPECT_NEAR(SignedReading(stp.back().bytes, 70) * 20 / 4096.0, 12.1, 0.02);
}

TEST(SimTelemetry, SameSeedSameStream) {
  SimOptions o;  // garbage on
  Harness a(o), b(o);
  a.RunUntil(3000);
  b.RunUntil(3000);
  EXPECT_EQ(a.stream, b.stream);
  o.seed = 2;
  Harness c(o);
  c.RunUntil(3000);
  EXPECT_NE(a.stream, c.stream);
}

TEST(SimParameters, AnswersGetWithDefaults) {
  Harness h(Quiet());
  h.Send(Padded(Command(0x68)));
  const auto par = h.Sent("$PAR");
  ASSERT_EQ(par.size(), 1u);
  const auto& p = par[0].bytes;
  EXPECT_TRUE(SumOk(p));
  EXPECT_EQ(p[7], 80);    // fail-safe Return&Land
  EXPECT_EQ(p[9], 200);   // 4 m/s vertical
  EXPECT_EQ(p[32], 150);  // 6.0 m/s
  EXPECT_EQ(p[25], 12);   // 120 m
  EXPECT_EQ(p[28], 50);   // 500 m
  EXPECT_EQ(p[5] & 0x0F, 3);
  for (int carried : {4, 6, 12, 22, 26, 27, 42}) EXPECT_NE(p[carried], 0) << carried;
  EXPECT_NE(p[5] & 0xF0, 0);
  EXPECT_NE(p[43] & 0x33, 0);
  EXPECT_EQ(h.c.Counters().getParameters, 1u);
}

TEST(SimParameters, AppliesSetWithRightSumsOnlyAndRestoresDefaults) {
  Harness h(Quiet());
  const auto defaults = SimController::DefaultParameters();
  std::array<std::uint8_t, 20> block;
  for (int i = 0; i < 20; ++i) block[i] = static_cast<std::uint8_t>(0xA0 + i);

  // Each of the three sums wrong in turn: nothing changes.
  for (int sum = 27; sum <= 29; ++sum) {
    auto bad = SetParameters(block);
    bad[sum] ^= 0x01;
    h.Send(Padded(bad));
    EXPECT_EQ(h.c.Parameters(), defaults) << sum;
  }
  EXPECT_EQ(h.c.Counters().setRejected, 3u);
  EXPECT_EQ(h.c.Counters().setAccepted, 0u);

  h.Send(Padded(SetParameters(block)));
  EXPECT_EQ(h.c.Counters().setAccepted, 1u);
  const std::size_t mark = h.stream.size();
  h.Send(Padded(Command(0x68)));
  const auto par = h.Sent("$PAR", mark);
  ASSERT_EQ(par.size(), 1u);
  const auto& p = par[0].bytes;
  EXPECT_TRUE(SumOk(p));
  // Where each block byte lands in the sentence.
  const int offset[20] = {7, 33, 38, 12, 4, 6, 5, 42, 27, 34, 26, 24, 17, 23, 22, 32, 25, 28, 43, 9};
  std::set<int> set;
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(p[offset[i]], 0xA0 + i) << "block byte " << i;
    set.insert(offset[i]);
  }
  for (int i = 4; i < 44; ++i) {
    if (!set.count(i)) {
      EXPECT_EQ(p[i], defaults[i]) << "untouched byte " << i;
    }
  }

  h.Send(Padded(Frame("$HFMR")));
  EXPECT_EQ(h.c.Parameters(), defaults);
  EXPECT_EQ(h.c.Counters().restoreDefaults, 1u);
}

TEST(SimParameters, FindsFramesInAnyCutOfTheStream) {
  // Garbage, padding, a "$" that starts no frame, two frames back to back
  // straddling reports, and a frame cut in the middle of its header.
  std::vector<std::uint8_t> bytes = {0, 0, 'x', '$', '$', 'W', 0x13};
  for (auto f : {Command(0x68), Command(0x75), Frame("$CMAG")}) bytes.insert(bytes.end(), f.begin(), f.end());
  bytes = Padded(bytes);
  for (std::size_t cut : {1u, 8u, 9u, 37u, 64u, 70u, 100u}) {
    SCOPED_TRACE(cut);
    Harness h(Quiet());
    std::vector<std::uint8_t> a(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    std::vector<std::uint8_t> b(bytes.begin() + static_cast<std::ptrdiff_t>(cut), bytes.end());
    h.Send(a);
    h.Send(b);
    EXPECT_EQ(h.c.Counters().getParameters, 1u);
    EXPECT_EQ(h.c.Counters().calibrations, 1u);
    EXPECT_EQ(h.c.Counters().compassOn, 1u);
    EXPECT_EQ(h.c.Counters().unknownFrames, 0u);
    EXPECT_EQ(h.c.Counters().skippedBytes, 5u);  // x $ $ W 0x13
    EXPECT_EQ(h.Sent("$PAR").size(), 1u);
  }
}

TEST(SimCommands, CalibrateTakesCurrentSticksAsCentres) {
  Harness h(Quiet());
  h.RunUntil(3000);
  for (const Sentence& s : h.Sent("$STP")) {
    EXPECT_EQ(s.bytes[80], 128);
  }
  const auto at = h.c.SticksAt(h.now);
  h.Send(Padded(Command(0x75)));
  const std::size_t mark = h.stream.size();
  h.RunUntil(6000);
  const auto later = h.Sent("$STP", mark);
  ASSERT_FALSE(later.empty());
  for (const Sentence& s : later) {
    EXPECT_EQ(s.bytes[80], at.rudder);
    EXPECT_EQ(s.bytes[81], at.aileron);
    EXPECT_EQ(s.bytes[82], at.elevator);
  }
  EXPECT_EQ(h.c.Counters().calibrations, 1u);
}

TEST(SimCommands, CaptureAnswersWithInstallErrorAndMarksLaterStatus) {
  Harness h(Quiet());
  h.RunUntil(1000);
  h.Send(Padded(Command(0xFE)));
  const auto tbs = h.Sent("$TBS");
  ASSERT_EQ(tbs.size(), 1u);
  EXPECT_TRUE(SumOk(tbs[0].bytes));
  const float a = F32(tbs[0].bytes, 4), b = F32(tbs[0].bytes, 8);
  EXPECT_TRUE(std::isfinite(a) && std::fabs(a) <= 10.0f);
  EXPECT_TRUE(std::isfinite(b) && std::fabs(b) <= 10.0f);
  const std::size_t mark = h.stream.size();
  h.RunUntil(2000);
  const auto later = h.Sent("$STP", mark);
  ASSERT_FALSE(later.empty());
  for (const Sentence& s : later) EXPECT_EQ(s.bytes[92], 99);
}

TEST(SimCommands, CompassCheckTurnsTheHeading) {
  for (bool reversed : {false, true}) {
    SCOPED_TRACE(reversed);
    SimOptions o = Quiet();
    o.reversedCompass = reversed;
    Harness h(o);
    h.RunUntil(2000);
    h.Send(Padded(Frame("$CMAG")));
    std::size_t mark = h.stream.size();
    h.RunUntil(8000);
    const auto turning = h.Sent("$STP", mark);
    ASSERT_GE(turning.size(), 55u);
    int rises = 0, falls = 0;
    for (std::size_t i = 1; i < turning.size(); ++i) {
      const int d = HeadingDegrees(turning[i]) - HeadingDegrees(turning[i - 1]);
      rises += d > 0 && d < 180;
      falls += d < 0 && d > -180;
    }
    // 30 degrees a second: 3 degrees a sentence, one wrap through north at most.
    if (reversed) {
      EXPECT_GE(falls, static_cast<int>(turning.size()) - 2);
    } else {
      EXPECT_GE(rises, static_cast<int>(turning.size()) - 2);
    }

    h.Send(Padded(Frame("$QMAG")));
    mark = h.stream.size();
    h.RunUntil(11000);
    const auto still = h.Sent("$STP", mark);
    ASSERT_GE(still.size(), 25u);
    EXPECT_LE(std::abs(HeadingDegrees(still.back()) - HeadingDegrees(still.front())), 10);
    EXPECT_FALSE(h.c.CompassMode());
  }
}

TEST(SimFaults, DropCorruptDuplicateShares) {
  struct Case {
    bool reports;
    double drop, corrupt, duplicate;
  };
  for (const Case k : {Case{true, 0.5, 0, 0}, Case{true, 0, 0.3, 0}, Case{true, 0, 0, 0.3},
                       Case{false, 0.01, 0, 0}, Case{false, 0, 0.001, 0}, Case{false, 0, 0, 0.01}}) {
    SCOPED_TRACE(testing::Message() << k.reports << " " << k.drop << " " << k.corrupt << " " << k.duplicate);
    SimOptions o = Quiet(k.reports);
    o.faults.dropShare = k.drop;
    o.faults.corruptShare = k.corrupt;
    o.faults.duplicateShare = k.duplicate;
    Harness clean(Quiet(k.reports)), faulty(o);
    clean.RunUntil(30000);
    faulty.RunUntil(30000);
    const auto& n = faulty.c.Counters();
    const std::size_t units = k.reports ? clean.reports : clean.stream.size();
    const double share = k.drop + k.corrupt + k.duplicate;
    const double seen = static_cast<double>(n.dropped + n.corrupted + n.duplicated);
    EXPECT_NEAR(seen / static_cast<double>(units), share, share * 0.2 + 0.001);

    std::size_t good = 0, bad = 0;
    for (const Sentence& s : Decode(faulty.stream).sentences) {
      if (s.tag == "$STP") (SumOk(s.bytes) ? good : bad)++;
    }
    const std::size_t cleanCount = clean.Sent("$STP").size();
    if (k.drop > 0) {
      EXPECT_LT(good, cleanCount);
    }
    if (k.corrupt > 0) {
      EXPECT_GT(bad, 0u);
    }
    if (k.duplicate > 0) {
      // A repeated report splits the sentence that straddles it.
      EXPECT_GT(faulty.stream.size(), clean.stream.size());
      EXPECT_GT(good, cleanCount / 3);
    }
  }
}

TEST(SimFaults, StallHoldsOutputAndInputThenResumes) {
  SimOptions o = Quiet();
  o.faults.stallAtMs = 1000;
  o.faults.stallForMs = 2000;
  Harness h(o);
  h.RunUntil(1500);
  const std::size_t before = h.Sent("$STP").size();
  h.Send(Padded(Command(0x68)));
  h.RunUntil(2990);
  EXPECT_EQ(h.Sent("$STP").size(), before);
  EXPECT_TRUE(h.Sent("$PAR").empty());
  EXPECT_EQ(before, 10u);
  h.RunUntil(4000);
  EXPECT_EQ(h.Sent("$PAR").size(), 1u);  // the held request is answered once the stall ends
  EXPECT_NEAR(static_cast<double>(h.Sent("$STP").size()), 20.0, 1.0);  // missed sentences are not sent late
}

TEST(SimFaults, VanishStopsEverything) {
  for (bool byFault : {true, false}) {
    SimOptions o = Quiet();
    if (byFault) o.faults.vanishAtMs = 1000;
    Harness h(o);
    h.RunUntil(1000);
    if (!byFault) h.c.Unplug();
    const std::size_t size = h.stream.size();
    h.Send(Padded(Command(0x68)));
    h.RunUntil(3000);
    EXPECT_TRUE(h.c.Vanished());
    EXPECT_EQ(h.stream.size(), size);
    EXPECT_EQ(h.c.Counters().getParameters, 0u);
    EXPECT_EQ(h.c.NextDueMs(), INT64_MAX);
  }
}

TEST(SimInput, ArbitraryBytesNeitherCrashNorConfuse) {
  // Random bytes with frame headers sprinkled in, cut at random points, into
  // both the flight software and the boot loader.
  for (bool boot : {false, true}) {
    SimOptions o = Quiet();
    o.bootloader = boot;
    Harness h(o);
    std::mt19937 gen(boot ? 11 : 12);
    const char* headers[] = {"$WIFI", "$HFMR", "$CMAG", "$QMAG", "$ZERO"};
    for (int round = 0; round < 2000; ++round) {
      std::vector<std::uint8_t> bytes(gen() % 100);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(gen());
      if (!bytes.empty() && gen() % 3 == 0) {
        const char* hd = headers[gen() % 5];
        const std::size_t at = gen() % bytes.size();
        for (std::size_t i = 0; i < 5 && at + i < bytes.size(); ++i)
          bytes[at + i] = static_cast<std::uint8_t>(hd[i]);
      }
      h.Send(bytes);
      h.RunUntil(h.now + 5, 5);
    }
    if (boot) {
      EXPECT_GT(h.c.Counters().badReports, 0u);
    } else {
      EXPECT_GT(h.c.Counters().skippedBytes, 0u);
      // Whatever it took for frames, it still streams and answers.
      // (A zero report first completes whatever frame the noise began.)
      h.Send(std::vector<std::uint8_t>(64, 0));
      const std::size_t mark = h.stream.size();
      h.Send(Padded(Command(0x68)));
      EXPECT_FALSE(h.Sent("$PAR", mark).empty());
    }
  }
}

// A replay's sentences go out as they fall due, unchanged, and the
// controller's next due time follows the source.
TEST(SimController, SendsTheSentencesOfAStatusSourceWhenDue) {
  struct Source : apdesk::sim::StatusSource {
    std::vector<std::pair<std::int64_t, Sentence>> plan;
    std::size_t next = 0;
    void TakeDue(std::int64_t nowMs, std::vector<Sentence>* due) override {
      while (next < plan.size() && plan[next].first <= nowMs) due->push_back(plan[next++].second);
    }
    std::int64_t NextDueMs() const override { return next < plan.size() ? plan[next].first : INT64_MAX; }
  } source;
  for (int i = 0; i < 3; ++i) {
    Source::Sentence s{};
    std::memcpy(s.data(), "$STP", 4);
    s[48] = static_cast<std::uint8_t>(7 + i);
    unsigned sum = 0;
    for (int k = 0; k < 98; ++k) sum += s[static_cast<std::size_t>(k)];
    s[98] = static_cast<std::uint8_t>(sum);
    source.plan.push_back({i == 2 ? 250 : 100, s});  // two at 100 ms, one at 250 ms
  }
  SimOptions o;
  o.reports = false;
  o.faults.garbage = false;
  o.statusSource = &source;
  Harness h(o);
  EXPECT_EQ(h.c.NextDueMs(), 100);
  h.RunUntil(90);
  EXPECT_TRUE(h.Sent("$STP").empty());
  h.RunUntil(100);
  ASSERT_EQ(h.Sent("$STP").size(), 2u);
  EXPECT_EQ(h.c.NextDueMs(), 250);
  h.RunUntil(1000);
  const std::vector<Sentence> sent = h.Sent("$STP");
  ASSERT_EQ(sent.size(), 3u) << "nothing of the model's own";
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_TRUE(std::equal(sent[i].bytes.begin(), sent[i].bytes.end(), source.plan[i].second.begin())) << i;
  EXPECT_EQ(h.c.NextDueMs(), INT64_MAX);
}
