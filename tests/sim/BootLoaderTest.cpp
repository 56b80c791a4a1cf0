#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "UpgradeToolScript.h"
#include "sim/SimController.h"

using apdesk::sim::BootPhase;
using apdesk::sim::SimController;
using apdesk::sim::SimOptions;
using namespace simtest;

namespace {

struct Exchange {
  int maxAnnouncementsPer100ms = 0;
  std::int64_t successAt = -1;
  std::int64_t endedAt = 0;
};

// Runs the device and the scripted tool on a 1 ms clock until the upgrade
// finished (or failed) and the line went quiet, or the time limit. The
// operator chooses the image 300 ms in, while the announcements flood.
Exchange RunUpgrade(SimController& c, ScriptedTool& tool, std::int64_t limitMs = 20000) {
  Exchange e;
  tool.state = 0;
  std::map<std::int64_t, int> perWindow;
  std::int64_t quietSince = -1;
  for (std::int64_t t = 0; t < limitMs; ++t) {
    if (t == 300) tool.state = 1;
    c.Advance(t);
    std::uint8_t r[64];
    bool any = false;
    // A reader takes at most a few reports a millisecond; without pacing the
    // announcements would otherwise never end within one.
    for (int taken = 0; taken < 16 && c.TakeReport(r); ++taken) {
      any = true;
      if (r[0] == 0x30 && ReportOk(r)) ++perWindow[t / 100];
      for (const Report64& reply : tool.Handle(r)) c.Write(reply.data(), reply.size(), t);
      c.Advance(t);
    }
    if (tool.success && e.successAt < 0) e.successAt = t;
    const bool over = (tool.success && tool.finishAcked) || tool.verifyError;
    if (over && !any) {
      if (quietSince < 0) quietSince = t;
      if (t - quietSince > 1000) break;
    } else {
      quietSince = -1;
    }
    e.endedAt = t;
  }
  for (const auto& [w, n] : perWindow) e.maxAnnouncementsPer100ms = std::max(e.maxAnnouncementsPer100ms, n);
  return e;
}

std::vector<int> Iota(int n) {
  std::vector<int> v(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = i;
  return v;
}

}  // namespace

TEST(SimBootLoader, PlaysTheWholeUpgrade) {
  for (std::size_t size : {0u, 1u, 100u, 112u, 5000u}) {
    SCOPED_TRACE(size);
    SimOptions o;
    o.bootloader = true;
    SimController c(o, 0);
    ScriptedTool tool(TestImage(size, static_cast<unsigned>(size)));
    const Exchange e = RunUpgrade(c, tool);

    EXPECT_GT(e.maxAnnouncementsPer100ms, 50);  // enough for the upgrade window to show
    EXPECT_EQ(tool.eraseSteps, Iota(8));
    const int last = static_cast<int>(size / 56) + 1;  // the block answered with 0x33
    EXPECT_EQ(tool.blockRequests, Iota(last + 1));
    EXPECT_EQ(tool.readBacks.front(), 0);
    EXPECT_EQ(tool.readBacks.back(), last);
    EXPECT_TRUE(tool.success);
    EXPECT_FALSE(tool.verifyError);
    EXPECT_TRUE(tool.finishAcked);
    EXPECT_GE(tool.acks, 1);
    EXPECT_EQ(c.Phase(), BootPhase::kDone);
    EXPECT_TRUE(c.UpgradeComplete());
    EXPECT_EQ(c.ReceivedImage(),
              std::vector<std::uint8_t>(tool.image.begin(),
                                        tool.image.begin() + static_cast<std::ptrdiff_t>(size)));
    EXPECT_EQ(c.Counters().offers, 1u);
    EXPECT_EQ(c.Counters().badReports, 0u);
  }
}

TEST(SimBootLoader, RecoversFromFaultsTheExchangeCanBear) {
  struct Case {
    const char* name;
    void (*set)(SimOptions&);
  };
  const Case cases[] = {
      {"drop 10%", [](SimOptions& o) { o.faults.dropShare = 0.1; }},
      {"corrupt 10%", [](SimOptions& o) { o.faults.corruptShare = 0.1; }},
      {"duplicate 20%", [](SimOptions& o) { o.faults.duplicateShare = 0.2; }},
      {"drop request 3", [](SimOptions& o) { o.faults.dropBlockRequest = 3; }},
      {"wrong read-back 2", [](SimOptions& o) { o.faults.wrongReadBackBlock = 2; }},
      {"no pacing", [](SimOptions& o) { o.bootPacingMs = 0; }},
      {"pacing 5 ms", [](SimOptions& o) { o.bootPacingMs = 5; }},
      {"stall",
       [](SimOptions& o) {
         o.faults.stallAtMs = 150;
         o.faults.stallForMs = 400;
       }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SimOptions o;
    o.bootloader = true;
    o.seed = 7;
    k.set(o);
    SimController c(o, 0);
    ScriptedTool tool(TestImage(1000, 3));
    RunUpgrade(c, tool, 60000);
    EXPECT_TRUE(tool.success);
    EXPECT_FALSE(tool.verifyError);
    EXPECT_TRUE(c.UpgradeComplete());
    EXPECT_EQ(c.ReceivedImage(), std::vector<std::uint8_t>(tool.image.begin(), tool.image.begin() + 1000));
    const auto& n = c.Counters();
    if (o.faults.dropShare > 0 || o.faults.corruptShare > 0 || o.faults.dropBlockRequest >= 0) {
      EXPECT_GT(n.requestRetries, 0u);
    }
  }
}

TEST(SimBootLoader, FaultsTheToolMustSee) {
  // A wrong read-back byte must end the exchange in a verify error.
  SimOptions o;
  o.bootloader = true;
  o.faults.corruptReadBackBlock = 4;
  SimController c(o, 0);
  ScriptedTool tool(TestImage(1000, 5));
  RunUpgrade(c, tool);
  EXPECT_TRUE(tool.verifyError);
  EXPECT_FALSE(tool.success);
  EXPECT_EQ(tool.readBacks.back(), 4);
  EXPECT_EQ(tool.finishesSent, 0);
  EXPECT_FALSE(c.UpgradeComplete());
  // The image arrived intact all the same.
  EXPECT_EQ(c.ReceivedImage(), std::vector<std::uint8_t>(tool.image.begin(), tool.image.begin() + 1000));

  // A device that vanishes in the download leaves the tool waiting for blocks.
  SimOptions v;
  v.bootloader = true;
  v.faults.vanishAtMs = 600;
  SimController gone(v, 0);
  ScriptedTool waiting(TestImage(20000, 6));
  RunUpgrade(gone, waiting, 3000);
  EXPECT_TRUE(gone.Vanished());
  EXPECT_EQ(waiting.state, 20);
  EXPECT_FALSE(waiting.success);
}

TEST(SimBootLoader, IgnoresReportsWithWrongSumsAndOutOfTurn) {
  SimOptions o;
  o.bootloader = true;
  SimController c(o, 0);
  Report64 offer{};
  offer[0] = 0x30;
  offer[2] = 100;
  std::memcpy(&offer[6], "$ZERO", 5);
  unsigned sum = 0;
  for (int i = 0; i < 63; ++i) sum += offer[i];
  offer[63] = static_cast<std::uint8_t>(sum + 1);  // wrong
  c.Write(offer.data(), 64, 0);
  EXPECT_EQ(c.Phase(), BootPhase::kAnnounce);
  EXPECT_EQ(c.Counters().badReports, 1u);

  Report64 block{};
  block[0] = 0x32;
  block[63] = 0x32;
  c.Write(block.data(), 64, 1);  // no download is running
  EXPECT_EQ(c.Phase(), BootPhase::kAnnounce);
  EXPECT_EQ(c.Counters().badReports, 2u);

  // Offers may arrive as a stream cut anywhere (serial): still one report.
  offer[63] = static_cast<std::uint8_t>(sum);
  c.Write(offer.data(), 10, 2);
  EXPECT_EQ(c.Phase(), BootPhase::kAnnounce);
  c.Write(offer.data() + 10, 54, 2);
  EXPECT_EQ(c.Phase(), BootPhase::kErase);
}
