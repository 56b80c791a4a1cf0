#include "upgrade/UpgradeExchange.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace apdesk {
namespace {

// A device report as the boot loader builds it: code, argument, payload and
// the checksum in byte 63.
UpgradeReport Device(std::uint8_t code, std::int32_t arg = 0, const std::vector<std::uint8_t>& payload = {}) {
  UpgradeReport r{};
  r[0] = code;
  const auto v = static_cast<std::uint32_t>(arg);
  for (int i = 0; i < 4; ++i) r[2 + i] = static_cast<std::uint8_t>(v >> (8 * i));
  for (std::size_t i = 0; i < payload.size() && i < 56; ++i) r[6 + i] = payload[i];
  unsigned sum = 0;
  for (int i = 0; i < 63; ++i) sum += r[i];
  r[63] = static_cast<std::uint8_t>(sum);
  return r;
}

const std::vector<std::uint8_t> kTag = {'$', 'Z', 'E', 'R', 'O'};

UpgradeReport Announcement() {
  return Device(0x30, 0, kTag);
}

std::int32_t Arg(const UpgradeReport& r) {
  return static_cast<std::int32_t>(std::uint32_t{r[2]} | std::uint32_t{r[3]} << 8 |
                                   std::uint32_t{r[4]} << 16 | std::uint32_t{r[5]} << 24);
}

std::vector<std::uint8_t> Payload(const UpgradeReport& r) {
  return {r.begin() + 6, r.begin() + 62};
}

bool SumOk(const UpgradeReport& r) {
  unsigned sum = 0;
  for (int i = 0; i < 63; ++i) sum += r[i];
  return r[63] == static_cast<std::uint8_t>(sum);
}

std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return v;
}

// Block n of an image as the device must receive it: zero past the end.
std::vector<std::uint8_t> BlockOf(const std::vector<std::uint8_t>& image, std::int64_t n) {
  std::vector<std::uint8_t> b(56, 0);
  for (std::int64_t i = 0; i < 56; ++i) {
    const std::int64_t at = n * 56 + i;
    if (n >= 0 && at < static_cast<std::int64_t>(image.size())) b[i] = image[at];
  }
  return b;
}

// Runs a faithful verification from block 0 and returns the number of
// read-backs it took until success.
int VerifyAll(UpgradeExchange& ex, const std::vector<std::uint8_t>& image) {
  UpgradeResult r = ex.HandleReport(Device(0x50).data());
  int count = 0;
  while (!r.succeeded && r.replyCount > 0 && count < 100000) {
    const UpgradeReport& ask = r.replies[r.replyCount - 1];
    EXPECT_EQ(ask[0], 0x51);
    const std::int32_t n = Arg(ask);
    r = ex.HandleReport(Device(0x51, n, BlockOf(image, n)).data());
    ++count;
  }
  EXPECT_TRUE(r.succeeded);
  return count;
}

TEST(UpgradeExchange, WrongChecksumChangesNothing) {
  const std::vector<std::uint8_t> image = Pattern(100);
  for (std::uint8_t code : {0x10, 0x30, 0x31, 0x32, 0x50, 0x51, 0x00}) {
    SCOPED_TRACE(code);
    UpgradeExchange ex;
    ASSERT_TRUE(ex.LoadImage(image));
    ex.Close();  // finish report pending: any valid report would get one
    ASSERT_TRUE(ex.LoadImage(image));
    UpgradeReport r = code == 0x30 ? Announcement() : Device(code, 1, BlockOf(image, 0));
    r[63] ^= 0x01;
    const UpgradeResult res = ex.HandleReport(r.data());
    EXPECT_EQ(res.replyCount, 0u);
    EXPECT_FALSE(res.showWindow);
    EXPECT_EQ(ex.State(), UpgradeState::Loaded);
    EXPECT_FALSE(ex.FinishAcknowledged());
    EXPECT_EQ(ex.Announcements(), 0);
    EXPECT_STREQ(ex.Status(), "Ready");
    EXPECT_EQ(ex.ProgressMaximum(), 100);
  }
}

TEST(UpgradeExchange, ZeroReportGetsFinishOnlyWhilePending) {
  const UpgradeReport zeros{};
  UpgradeExchange ex;
  EXPECT_EQ(ex.HandleReport(zeros.data()).replyCount, 0u);

  ex.Close();
  for (int i = 0; i < 3; ++i) {
    const UpgradeResult r = ex.HandleReport(zeros.data());
    ASSERT_EQ(r.replyCount, 1u);
    EXPECT_EQ(r.replies[0][0], 0xFF);
    EXPECT_EQ(Payload(r.replies[0])[0], '$');
    EXPECT_EQ(std::string(r.replies[0].begin() + 6, r.replies[0].begin() + 11), "$ZERO");
    EXPECT_EQ(Arg(r.replies[0]), 0);
    EXPECT_TRUE(SumOk(r.replies[0]));
  }
  EXPECT_EQ(ex.State(), UpgradeState::Idle);
  EXPECT_STREQ(ex.Status(), "Ready");

  // The acknowledgement itself still gets one, then nothing more.
  EXPECT_EQ(ex.HandleReport(Device(0x10).data()).replyCount, 1u);
  EXPECT_TRUE(ex.FinishAcknowledged());
  EXPECT_EQ(ex.HandleReport(zeros.data()).replyCount, 0u);
  EXPECT_EQ(ex.HandleReport(Device(0x10).data()).replyCount, 0u);
}

TEST(UpgradeExchange, AnnouncementFloodShowsOnThe51stAndCapsTheCounter) {
  UpgradeExchange ex;  // no image: counted, never answered
  for (int round = 0; round < 2; ++round) {
    for (int i = 1; i <= 50; ++i) {
      const UpgradeResult r = ex.HandleReport(Announcement().data());
      EXPECT_FALSE(r.showWindow) << i;
      EXPECT_EQ(r.replyCount, 0u);
    }
    EXPECT_EQ(ex.Announcements(), 50);
    for (int i = 51; i <= 55; ++i) {
      EXPECT_TRUE(ex.HandleReport(Announcement().data()).showWindow) << i;
      EXPECT_EQ(ex.Announcements(), 50);
    }
    ex.Tick();
    EXPECT_EQ(ex.Announcements(), 0);
  }
  // A code 0x30 without the tag is no announcement.
  EXPECT_EQ(ex.HandleReport(Device(0x30, 0, {'$', 'Z', 'E', 'R', 'X'}).data()).replyCount, 0u);
  EXPECT_EQ(ex.Announcements(), 0);
  EXPECT_EQ(ex.State(), UpgradeState::Idle);
}

TEST(UpgradeExchange, OfferOnlyInStateLoaded) {
  struct Case {
    std::size_t size;
    bool offered;
  };
  for (const Case c :
       {Case{0, true}, Case{100, true}, Case{917503, true}, Case{917504, false}, Case{917505, false}}) {
    SCOPED_TRACE(c.size);
    UpgradeExchange ex;
    ASSERT_TRUE(ex.LoadImage(std::vector<std::uint8_t>(c.size, 0xA5)));
    EXPECT_EQ(ex.ImageSize(), static_cast<std::int32_t>(c.size));
    EXPECT_EQ(ex.State(), c.offered ? UpgradeState::Loaded : UpgradeState::Idle);
    for (int i = 0; i < 60; ++i) {
      const UpgradeResult r = ex.HandleReport(Announcement().data());
      ASSERT_EQ(r.replyCount, c.offered ? 1u : 0u);
      if (c.offered) {
        EXPECT_EQ(r.replies[0][0], 0x30);
        EXPECT_EQ(r.replies[0][1], 0);
        EXPECT_EQ(Arg(r.replies[0]), static_cast<std::int32_t>(c.size));
        EXPECT_EQ(std::string(r.replies[0].begin() + 6, r.replies[0].begin() + 11), "$ZERO");
        EXPECT_EQ(r.replies[0][11], 0);
        EXPECT_TRUE(SumOk(r.replies[0]));
      }
    }
  }
}

TEST(UpgradeExchange, EraseIsShownAgainstSevenAndStopsOffers) {
  UpgradeExchange ex;
  ASSERT_TRUE(ex.LoadImage(Pattern(1000)));
  ex.HandleReport(Announcement().data());  // the boot loader is there
  for (std::int32_t step : {0, 3, 7, 200, -5}) {
    EXPECT_EQ(ex.HandleReport(Device(0x31, step).data()).replyCount, 0u);
    EXPECT_EQ(ex.State(), UpgradeState::Erasing);
    EXPECT_EQ(ex.ProgressPosition(), step);
    EXPECT_EQ(ex.ProgressMaximum(), 7);
    EXPECT_STREQ(ex.Status(), "LID_PUB_UPGRADE_ERASE");
  }
  EXPECT_EQ(ex.HandleReport(Announcement().data()).replyCount, 0u);
}

// A report that only looks like a step (telemetry of a controller in flight
// can: first byte a step's code, last byte the sum) moves nothing and gets
// no answer until a boot loader has announced itself, and none again once
// an upgrade has ended.
TEST(UpgradeExchange, StepsCountOnlyAfterTheBootLoaderAnnouncedItself) {
  const std::vector<std::uint8_t> image = Pattern(100);
  for (std::uint8_t code : {0x31, 0x32, 0x50, 0x51}) {
    SCOPED_TRACE(static_cast<int>(code));
    UpgradeExchange ex;
    ASSERT_TRUE(ex.LoadImage(image));
    const UpgradeResult r = ex.HandleReport(Device(code, 3, std::vector<std::uint8_t>(56, 0x41)).data());
    EXPECT_EQ(r.replyCount, 0u);
    EXPECT_EQ(ex.State(), UpgradeState::Loaded);
    EXPECT_STREQ(ex.Status(), "Ready");
    EXPECT_EQ(ex.ProgressPosition(), 0);

    ex.HandleReport(Announcement().data());
    EXPECT_EQ(VerifyAll(ex, image), 3);  // blocks 0, 1 and the one past the end
    EXPECT_STREQ(ex.Status(), "LID_PUB_UPGRADE_SUCCESS");
    ex.HandleReport(Device(0x10).data());  // the finish report acknowledged
    EXPECT_EQ(ex.HandleReport(Device(code, 1).data()).replyCount, 0u);
    EXPECT_EQ(ex.State(), UpgradeState::Idle);
    EXPECT_STREQ(ex.Status(), "LID_PUB_UPGRADE_SUCCESS");
  }
}

// Images of 100 and 112 bytes, block by block: the code and payload of each
// reply and the read-back until success.
TEST(UpgradeExchange, ServesBlocksAndVerifiesThroughTheBlockPastTheEnd) {
  struct Case {
    std::size_t size;
    std::int32_t lastBlock;  // the 0x33 block
  };
  for (const Case c : {Case{100, 2}, Case{112, 3}, Case{0, 1}, Case{55, 1}, Case{56, 2}, Case{1000, 18}}) {
    SCOPED_TRACE(c.size);
    const std::vector<std::uint8_t> image = Pattern(c.size);
    UpgradeExchange ex;
    ASSERT_TRUE(ex.LoadImage(image));
    ex.HandleReport(Announcement().data());  // the boot loader is there
    for (std::int32_t n = 0; n <= c.lastBlock; ++n) {
      const UpgradeResult r = ex.HandleReport(Device(0x32, n).data());
      ASSERT_EQ(r.replyCount, 1u);
      EXPECT_EQ(r.replies[0][0], n == c.lastBlock ? 0x33 : 0x32) << n;
      EXPECT_EQ(Arg(r.replies[0]), n);
      EXPECT_EQ(Payload(r.replies[0]), BlockOf(image, n)) << n;
      EXPECT_EQ(r.replies[0][62], 0);
      EXPECT_TRUE(SumOk(r.replies[0]));
      EXPECT_EQ(ex.State(), UpgradeState::Downloading);
      EXPECT_EQ(ex.ProgressPosition(), n);
      EXPECT_EQ(ex.ProgressMaximum(), static_cast<std::int32_t>(c.size / 56));
      EXPECT_STREQ(ex.Status(), "LID_PUB_UPGRADE_DOWNLOAD");
    }
    EXPECT_EQ(VerifyAll(ex, image), c.lastBlock + 1);
    EXPECT_EQ(ex.State(), UpgradeState::Idle);
    EXPECT_STREQ(ex.Status(), "LID_PUB_UPGRADE_SUCCESS");
    EXPECT_FALSE(ex.FinishAcknowledged());
  }
  // Block 1 of the 100-byte image: bytes 56-99 then 12 zeros.
  const std::vector<std::uint8_t> image = Pattern(100);
  UpgradeExchange ex;
  ASSERT_TRUE(ex.LoadImage(image));
  ex.HandleReport(Announcement().data());  // the boot loader is there
  const UpgradeResult r = ex.HandleReport(Device(0x32, 1).data());
  EXPECT_TRUE(std::equal(image.begin() + 56, image.end(), r.replies[0].begin() + 6));
  EXPECT_EQ(std::vector<std::uint8_t>(r.replies[0].begin() + 50, r.replies[0].begin() + 62),
            std::vector<std::uint8_t>(12, 0));
}

TEST(UpgradeExchange, VerifyStartResetsTheIndexMidway) {
  const std::vector<std::uint8_t> image = Pattern(300);
  UpgradeExchange ex;
  ASSERT_TRUE(ex.LoadImage(image));
  ex.HandleReport(Announcement().data());  // the boot loader is there
  UpgradeResult r = ex.HandleReport(Device(0x50).data());
  EXPECT_EQ(ex.State(), UpgradeState::VerifyStarted);
  EXPECT_STREQ(ex.Status(), "Ready");  // status and progress are left alone
  ASSERT_EQ(r.replyCount, 1u);
  EXPECT_EQ(r.replies[0][0], 0x51);
  EXPECT_EQ(Arg(r.replies[0]), 0);
  EXPECT_EQ(Payload(r.replies[0]), std::vector<std::uint8_t>(56, 0));
  for (std::int32_t n = 0; n < 3; ++n) r = ex.HandleReport(Device(0x51, n, BlockOf(image, n)).data());
  EXPECT_EQ(Arg(r.replies[0]), 3);
  EXPECT_EQ(ex.VerifyIndex(), 3);
  EXPECT_EQ(ex.State(), UpgradeState::Verifying);
  EXPECT_EQ(ex.ProgressPosition(), 2);
  EXPECT_EQ(ex.ProgressMaximum(), 300 / 56);

  r = ex.HandleReport(Device(0x50).data());
  EXPECT_EQ(ex.VerifyIndex(), 0);
  EXPECT_EQ(Arg(r.replies[0]), 0);
  EXPECT_EQ(VerifyAll(ex, image), 300 / 56 + 2);
}

TEST(UpgradeExchange, ReadBackOfAnotherBlockIsAskedAgain) {
  const std::vector<std::uint8_t> image = Pattern(200);
  UpgradeExchange ex;
  ASSERT_TRUE(ex.LoadImage(image));
  ex.HandleReport(Announcement().data());  // the boot loader is there
  ex.HandleReport(Device(0x50).data());
  ex.HandleReport(Device(0x51, 0, BlockOf(image, 0)).data());
  // The device sends block 2 (matching its own data) while 1 was asked for.
  for (std::int32_t wrong : {2, 0, -1, std::numeric_limits<std::int32_t>::max()}) {
    const UpgradeResult r = ex.HandleReport(Device(0x51, wrong, BlockOf(image, wrong)).data());
    ASSERT_EQ(r.replyCount, 1u);
    EXPECT_EQ(r.replies[0][0], 0x51);
    EXPECT_EQ(Arg(r.replies[0]), 1);
    EXPECT_EQ(ex.VerifyIndex(), 1);
    EXPECT_STREQ(ex.Status(), "LID_PUB_UPGRADE_VERIFY");
  }
}

// A device that answers read-back requests one at a time, in the order they
// came, with one fault at block `at`; returns how many requests the tool sent
// until the verification succeeded (-1: it never did).
enum class ReadBackFault { None, Duplicate, DeviceRepeat, WrongBlock, RequestLost };

int RequestsToVerify(const std::vector<std::uint8_t>& image, ReadBackFault fault, std::int32_t at) {
  UpgradeExchange ex;
  EXPECT_TRUE(ex.LoadImage(image));
  ex.HandleReport(Announcement().data());  // the boot loader is there
  std::deque<std::int32_t> asked;
  int requests = 0;
  bool faulted = false;
  auto take = [&](const UpgradeResult& r) {
    for (std::size_t i = 0; i < r.replyCount; ++i) {
      if (r.replies[i][0] != 0x51) continue;
      ++requests;
      const std::int32_t n = Arg(r.replies[i]);
      if (fault == ReadBackFault::RequestLost && n == at && !faulted) {
        faulted = true;  // lost; the device, hearing nothing, repeats its last read-back
        const UpgradeResult again = ex.HandleReport(Device(0x51, at - 1, BlockOf(image, at - 1)).data());
        if (again.succeeded) return true;
        for (std::size_t j = 0; j < again.replyCount; ++j) asked.push_back(Arg(again.replies[j]));
        continue;
      }
      asked.push_back(n);
    }
    return r.succeeded;
  };
  if (take(ex.HandleReport(Device(0x50).data()))) return requests;
  while (!asked.empty() && requests < 10000) {
    const std::int32_t n = asked.front();
    asked.pop_front();
    std::vector<UpgradeReport> out = {Device(0x51, n, BlockOf(image, n))};
    if (n == at && !faulted && fault != ReadBackFault::None && fault != ReadBackFault::RequestLost) {
      faulted = true;
      if (fault == ReadBackFault::Duplicate) out.push_back(out[0]);
      if (fault == ReadBackFault::DeviceRepeat)
        out.insert(out.begin(), Device(0x51, n - 1, BlockOf(image, n - 1)));
      if (fault == ReadBackFault::WrongBlock) out[0] = Device(0x51, n + 1, BlockOf(image, n + 1));
    }
    for (const UpgradeReport& r : out) {
      if (take(ex.HandleReport(r.data()))) return requests;
    }
  }
  return -1;
}

TEST(UpgradeExchange, AReadBackOtherThanTheOneAskedForCostsAtMostOneRequest) {
  const std::vector<std::uint8_t> image = Pattern(56 * 40);
  const int clean = RequestsToVerify(image, ReadBackFault::None, 0);
  ASSERT_EQ(clean, 42);  // blocks 0 to 41: success needs the first block wholly past the image
  for (ReadBackFault fault : {ReadBackFault::Duplicate, ReadBackFault::DeviceRepeat,
                              ReadBackFault::WrongBlock, ReadBackFault::RequestLost}) {
    for (std::int32_t at : {1, 20, 40}) {
      SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(fault) << " at block " << at);
      const int requests = RequestsToVerify(image, fault, at);
      EXPECT_GE(requests, clean);
      EXPECT_LE(requests, clean + 1);
    }
  }
}

TEST(UpgradeExchange, MismatchEndsWithVerifyErrorAndNeverSucceeds) {
  const std::vector<std::uint8_t> image = Pattern(200);
  for (std::int32_t bad : {0, 1, 3, 4}) {  // 4 is the zero block past the end
    SCOPED_TRACE(bad);
    UpgradeExchange ex;
    ASSERT_TRUE(ex.LoadImage(image));
    ex.HandleReport(Announcement().data());  // the boot loader is there
    ex.HandleReport(Device(0x50).data());
    for (std::int32_t n = 0; n < bad; ++n) ex.HandleReport(Device(0x51, n, BlockOf(image, n)).data());
    std::vector<std::uint8_t> corrupt = BlockOf(image, bad);
    corrupt[55] ^= 0x40;
    const UpgradeResult r = ex.HandleReport(Device(0x51, bad, corrupt).data());
    EXPECT_EQ(r.replyCount, 0u);
    EXPECT_FALSE(r.succeeded);
    EXPECT_EQ(ex.State(), UpgradeState::Idle);
    EXPECT_STREQ(ex.Status(), "LID_PUB_UPGRADE_VERIFYERR");
    EXPECT_TRUE(ex.FinishAcknowledged());
    // The device repeating its read-back, now correct, does not overturn the error.
    for (std::int32_t n = bad; n <= 4; ++n) {
      const UpgradeResult again = ex.HandleReport(Device(0x51, n, BlockOf(image, n)).data());
      EXPECT_EQ(again.replyCount, 0u);
      EXPECT_FALSE(again.succeeded);
    }
    EXPECT_STREQ(ex.Status(), "LID_PUB_UPGRADE_VERIFYERR");
    EXPECT_EQ(ex.State(), UpgradeState::Idle);
    // A new verification from the start is judged afresh.
    EXPECT_EQ(VerifyAll(ex, image), 5);
  }
}

TEST(UpgradeExchange, AfterSuccessTheAckGetsOneFinishReportThenNoMore) {
  const std::vector<std::uint8_t> image = Pattern(100);
  UpgradeExchange ex;
  ASSERT_TRUE(ex.LoadImage(image));
  for (int i = 0; i < 20; ++i) ex.HandleReport(Announcement().data());
  VerifyAll(ex, image);
  EXPECT_EQ(ex.Announcements(), 0);
  // Further announcements are counted but get only the finish report.
  UpgradeResult r = ex.HandleReport(Announcement().data());
  ASSERT_EQ(r.replyCount, 1u);
  EXPECT_EQ(r.replies[0][0], 0xFF);
  r = ex.HandleReport(Device(0x10).data());
  ASSERT_EQ(r.replyCount, 1u);
  EXPECT_EQ(r.replies[0][0], 0xFF);
  EXPECT_EQ(ex.HandleReport(Device(0x10).data()).replyCount, 0u);
  EXPECT_EQ(ex.HandleReport(Announcement().data()).replyCount, 0u);
  EXPECT_STREQ(ex.Status(), "LID_PUB_UPGRADE_SUCCESS");
}

// One reply buffer per report: the second reply of a call keeps the bytes of
// the first that it does not overwrite.
TEST(UpgradeExchange, SecondReplyOfACallBuildsOnTheFirst) {
  const std::vector<std::uint8_t> image = Pattern(100);
  UpgradeExchange ex;
  ASSERT_TRUE(ex.LoadImage(image));
  ex.Close();                        // finish pending, state idle
  ASSERT_TRUE(ex.LoadImage(image));  // state loaded again

  UpgradeResult r = ex.HandleReport(Announcement().data());
  ASSERT_EQ(r.replyCount, 2u);
  EXPECT_EQ(r.replies[0][0], 0x30);
  EXPECT_EQ(r.replies[1][0], 0xFF);
  EXPECT_EQ(Arg(r.replies[1]), 100);  // the offer's size stays in the finish report
  EXPECT_TRUE(SumOk(r.replies[0]));
  EXPECT_TRUE(SumOk(r.replies[1]));

  r = ex.HandleReport(Device(0x32, 1).data());
  ASSERT_EQ(r.replyCount, 2u);
  EXPECT_EQ(r.replies[0][0], 0xFF);
  EXPECT_EQ(r.replies[1][0], 0x32);
  EXPECT_EQ(Payload(r.replies[1]), BlockOf(image, 1));  // the block overwrites the tag

  r = ex.HandleReport(Device(0x50).data());
  ASSERT_EQ(r.replyCount, 2u);
  EXPECT_EQ(r.replies[1][0], 0x51);
  EXPECT_EQ(Arg(r.replies[1]), 0);
  EXPECT_EQ(std::string(r.replies[1].begin() + 6, r.replies[1].begin() + 11), "$ZERO");
  EXPECT_TRUE(SumOk(r.replies[1]));
}

// A block number outside the image and its zero tail reads nothing outside
// the buffer and is answered with a zero block.
TEST(UpgradeExchange, BlocksOutsideTheBufferAreZero) {
  struct Case {
    std::int32_t block;
    std::uint8_t code;
  };
  const std::vector<std::uint8_t> image(1000, 0xEE);
  const std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  // The buffer holds 1000 + 4096 bytes: block 90 is its last (tail) block.
  for (const Case c : {Case{-1, 0x32}, Case{-100, 0x32}, Case{kMin, 0x32}, Case{90, 0x33}, Case{91, 0x33},
                       Case{92, 0x33}, Case{5000, 0x33}, Case{kMax / 56 + 1, 0x33}, Case{kMax, 0x33}}) {
    SCOPED_TRACE(c.block);
    for (bool loaded : {true, false}) {
      UpgradeExchange ex;
      if (loaded) {
        ASSERT_TRUE(ex.LoadImage(image));
      }
      ex.HandleReport(Announcement().data());  // the boot loader is there
      const UpgradeResult r = ex.HandleReport(Device(0x32, c.block).data());
      ASSERT_EQ(r.replyCount, 1u);
      EXPECT_EQ(r.replies[0][0], loaded ? c.code : (c.block < 0 ? 0x32 : 0x33));
      EXPECT_EQ(Arg(r.replies[0]), c.block);
      EXPECT_EQ(Payload(r.replies[0]), std::vector<std::uint8_t>(56, 0));
    }
  }
  // The last image block straddling the end is partly image, partly zero.
  UpgradeExchange ex;
  ASSERT_TRUE(ex.LoadImage(image));
  ex.HandleReport(Announcement().data());  // the boot loader is there
  const UpgradeResult r = ex.HandleReport(Device(0x32, 17).data());
  EXPECT_EQ(Payload(r.replies[0]), BlockOf(image, 17));
  std::uint8_t block[56];
  ex.CopyBlock(std::int64_t{kMax} * 3, block);
  EXPECT_EQ(std::vector<std::uint8_t>(block, block + 56), std::vector<std::uint8_t>(56, 0));
}

class UpgradeImageFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("apdesk-upgrade-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path p = dir_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  std::filesystem::path dir_;
};

TEST_F(UpgradeImageFile, LoadsTheWholeFileWithAZeroTail) {
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{4096},
                           std::size_t{4097}, std::size_t{70000}, std::size_t{917504}}) {
    SCOPED_TRACE(size);
    const std::vector<std::uint8_t> image = Pattern(size);
    const std::string path = Write("fw.bin", image);
    UpgradeExchange ex;
    std::string error = "untouched";
    ASSERT_TRUE(ex.LoadImageFile(path, &error));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(ex.ImageSize(), static_cast<std::int32_t>(size));
    EXPECT_EQ(ex.State(), size < 917504 ? UpgradeState::Loaded : UpgradeState::Idle);
    std::vector<std::uint8_t> back;
    std::uint8_t block[56];
    for (std::int64_t n = 0; n * 56 < static_cast<std::int64_t>(size) + 4096; ++n) {
      ex.CopyBlock(n, block);
      back.insert(back.end(), block, block + 56);
    }
    ASSERT_GE(back.size(), size + 4096 - 55);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), back.begin()));
    EXPECT_TRUE(std::all_of(back.begin() + static_cast<std::ptrdiff_t>(size), back.end(),
                            [](std::uint8_t b) { return b == 0; }));
  }
}

TEST_F(UpgradeImageFile, FailuresAreReportedAndLeaveNoImage) {
  const std::string good = Write("good.bin", Pattern(300));
  const std::string pipe = (dir_ / "pipe.bin").string();
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& path :
       {(dir_ / "missing.bin").string(), dir_.string(), pipe, std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    UpgradeExchange ex;
    ASSERT_TRUE(ex.LoadImageFile(good, nullptr));
    std::string error;
    EXPECT_FALSE(ex.LoadImageFile(path, &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_FALSE(ex.HasImage());
    EXPECT_EQ(ex.ImageSize(), 0);
    EXPECT_EQ(ex.State(), UpgradeState::Idle);
    EXPECT_EQ(ex.HandleReport(Announcement().data()).replyCount, 0u);
    EXPECT_FALSE(ex.LoadImageFile(path, nullptr));  // no error sink: still no crash
  }
}

}  // namespace
}  // namespace apdesk
