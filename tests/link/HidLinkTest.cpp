// CHidLink against the scripted back end.
#include "link/HidLink.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FakeHidBackend.h"
#include "LinkTestSupport.h"
#include "protocol/CommandFrame.h"

namespace {

using linktest::FakeHidScript;
using linktest::MakeReport;
using linktest::PumpFor;
using linktest::PumpUntil;
using linktest::Report;

Report Padded(const std::uint8_t* bytes, std::size_t n) {
  Report r{};
  std::copy(bytes, bytes + n, r.begin());
  return r;
}

class HidLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script = std::make_shared<FakeHidScript>();
    script->devices = {{"fake:0", 0x0483, 0x5750, "AP"}};
    link = std::make_unique<CHidLink>(linktest::MakeFakeHidBackend(script));
    link->SetNotifier([this](apdesk::TransportFailure why) { notes.push_back(why); });
    // What the main window does with the two messages.
    owner.onHidSent = [this] {
      link->SetReady(true);
      link->Flush();
    };
    owner.onHidReceived = [this] {
      Report r;
      link->TakeReport(r.data());
      received.push_back(r);
    };
    link->StartReader(&owner);
  }

  void TearDown() override {
    script->SetHoldWrites(false);  // a held write would keep the writer from stopping
    link.reset();
  }

  std::shared_ptr<FakeHidScript> script;
  std::unique_ptr<CHidLink> link;
  linktest::RecordingOwner owner;
  std::vector<apdesk::TransportFailure> notes;
  std::vector<Report> received;
};

TEST_F(HidLinkTest, FramesSentWithoutADeviceAreDroppedNotReplayed) {
  const apdesk::CommandFrame stale = apdesk::BuildGetParametersFrame();
  link->Send(stale.data(), stale.size());
  EXPECT_EQ(link->QueuedBytes(), 0u);
  PumpFor(100);
  EXPECT_EQ(script->WritesStarted(), 0);

  ASSERT_TRUE(link->Open(0x0483, 0x5750));
  const apdesk::CommandFrame fresh = apdesk::BuildRestoreDefaultsFrame();
  link->Send(fresh.data(), fresh.size());
  ASSERT_TRUE(PumpUntil([&] { return owner.Count(0x601) == 1; }));
  PumpFor(100);
  ASSERT_EQ(script->Written().size(), 1u) << "the frame from before Open must not follow";
  EXPECT_EQ(script->Written()[0], Padded(fresh.data(), fresh.size()));

  link->Close();
  EXPECT_FALSE(link->IsOpen());
  link->Send(stale.data(), stale.size());
  PumpFor(100);
  EXPECT_EQ(script->Written().size(), 1u);
  EXPECT_EQ(link->QueuedBytes(), 0u);
}

TEST_F(HidLinkTest, HundredByteSendGoesOutAsTwoReportsTheSecondAfterTheFirstCompletes) {
  ASSERT_TRUE(link->Open(0x0483, 0x5750));
  std::uint8_t bytes[100];
  for (int i = 0; i < 100; ++i) bytes[i] = static_cast<std::uint8_t>(i + 1);
  link->Send(bytes, sizeof(bytes));
  ASSERT_TRUE(script->WaitForWritesStarted(1));
  // Without WM_HID_SENT handled the link must not send the rest.
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(script->WritesStarted(), 1);
  EXPECT_FALSE(link->IsReady());
  EXPECT_EQ(link->QueuedBytes(), 36u);

  ASSERT_TRUE(PumpUntil([&] { return script->Written().size() == 2 && owner.Count(0x601) == 2; }));
  const auto written = script->Written();
  EXPECT_EQ(written[0], Padded(bytes, 64));
  EXPECT_EQ(written[1], Padded(bytes + 64, 36)) << "36 bytes, then 28 zeros";
  EXPECT_TRUE(link->IsReady());
  EXPECT_EQ(link->QueuedBytes(), 0u);
}

TEST(HidLinkOpen, OnlyTheFirstMatchingDeviceIsTried) {
  struct Case {
    const char* name;
    std::vector<apdesk::HidDeviceInfo> devices;
    std::set<std::string> failOpen;
    bool opens;
    std::vector<std::string> tried;
    std::vector<apdesk::TransportFailure> notes;
  } cases[] = {
      {"no device", {}, {}, false, {}, {}},
      {"other ids only", {{"a", 0x0483, 0x5751, ""}, {"b", 0x1234, 0x5750, ""}}, {}, false, {}, {}},
      {"first of two", {{"a", 0x0483, 0x5750, ""}, {"b", 0x0483, 0x5750, ""}}, {}, true, {"a"}, {}},
      {"first fails, second untried",
       {{"a", 0x0483, 0x5750, ""}, {"b", 0x0483, 0x5750, ""}},
       {"a"},
       false,
       {"a"},
       {apdesk::TransportFailure::OpenFailed}},
      {"skips other ids", {{"x", 0x0483, 0x0001, ""}, {"b", 0x0483, 0x5750, ""}}, {}, true, {"b"}, {}},
  };
  for (const Case& c : cases) {
    auto script = std::make_shared<FakeHidScript>();
    script->devices = c.devices;
    script->failOpen = c.failOpen;
    CHidLink link(linktest::MakeFakeHidBackend(script));
    std::vector<apdesk::TransportFailure> notes;
    link.SetNotifier([&](apdesk::TransportFailure why) { notes.push_back(why); });
    EXPECT_EQ(link.Open(0x0483, 0x5750), c.opens) << c.name;
    EXPECT_EQ(link.IsOpen(), c.opens) << c.name;
    EXPECT_TRUE(link.IsReady()) << c.name << ": Open makes the link ready, found or not";
    EXPECT_EQ(script->opened, c.tried) << c.name;
    EXPECT_EQ(notes, c.notes) << c.name;
  }
}

TEST_F(HidLinkTest, OneReadOutstandingAndTheBufferIsClearedAfterHandOver) {
  const Report r1 = MakeReport({'$', 'S', 'T', 'P', 1}), r2 = MakeReport({2, 2}), r3 = MakeReport({3, 3, 3});
  script->Push(r1);
  script->Push(r2);
  script->Push(r3);
  bool rearm = false;
  owner.onHidReceived = [&] {
    EXPECT_EQ(link->ReceiveBuffer()[0], 0) << "report id";
    if (!rearm) return;  // the window is busy: the report stays in the buffer
    Report r;
    link->TakeReport(r.data());
    received.push_back(r);
  };
  ASSERT_TRUE(link->Open(0x0483, 0x5750));
  ASSERT_TRUE(PumpUntil([&] { return owner.Count(0x600) == 1; }));
  PumpFor(150);
  EXPECT_EQ(owner.Count(0x600), 1) << "no read while the buffer is the window's";
  EXPECT_TRUE(std::equal(r1.begin(), r1.end(), link->ReceiveBuffer().begin() + 1)) << "not overwritten";

  // Reads held, so that what the hand-over left in the buffer can be seen.
  script->SetHoldReads(true);
  Report first;
  link->TakeReport(first.data());
  received.push_back(first);
  const auto& buffer = link->ReceiveBuffer();
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0; }))
      << "the buffer holds zeros after the report was taken";
  rearm = true;
  script->SetHoldReads(false);
  ASSERT_TRUE(PumpUntil([&] { return received.size() == 3; }));
  EXPECT_EQ(received, (std::vector<Report>{r1, r2, r3}));
  EXPECT_LE(script->maxReadsInProgress, 1);
}

TEST_F(HidLinkTest, AStreamOfReportsArrivesInOrder) {
  constexpr std::uint32_t kCount = 3000;
  ASSERT_TRUE(link->Open(0x0483, 0x5750));
  std::thread producer([&] {
    for (std::uint32_t k = 0; k < kCount; ++k) {
      Report r{};
      for (int b = 0; b < 4; ++b) r[b] = static_cast<std::uint8_t>(k >> (8 * b));
      for (int i = 4; i < 64; ++i) r[i] = static_cast<std::uint8_t>(k * 7 + i);
      script->Push(r);
    }
  });
  const bool all = PumpUntil([&] { return received.size() == kCount; }, 20000);
  producer.join();
  ASSERT_TRUE(all) << received.size();
  for (std::uint32_t k = 0; k < kCount; ++k) {
    std::uint32_t got = 0;
    for (int b = 0; b < 4; ++b) got |= static_cast<std::uint32_t>(received[k][b]) << (8 * b);
    ASSERT_EQ(got, k);
    for (int i = 4; i < 64; ++i) ASSERT_EQ(received[k][i], static_cast<std::uint8_t>(k * 7 + i));
  }
  EXPECT_LE(script->maxReadsInProgress, 1);
}

TEST_F(HidLinkTest, WriteReportDuringAQueuedWriteKeepsBothIntact) {
  ASSERT_TRUE(link->Open(0x0483, 0x5750));
  script->SetHoldWrites(true);
  const apdesk::CommandFrame frame = apdesk::BuildGetParametersFrame();
  link->Send(frame.data(), frame.size());
  ASSERT_TRUE(script->WaitForWritesStarted(1));
  Report reply;
  reply.fill(0xAB);
  link->WriteReport(reply.data());
  reply.fill(0);  // the caller's buffer is its own again at once
  script->SetHoldWrites(false);
  ASSERT_TRUE(PumpUntil([&] { return owner.Count(0x601) == 2; }));
  PumpFor(100);
  EXPECT_EQ(owner.Count(0x601), 2) << "one WM_HID_SENT per completed write";
  Report expectedReply;
  expectedReply.fill(0xAB);
  EXPECT_EQ(script->Written(), (std::vector<Report>{Padded(frame.data(), frame.size()), expectedReply}));
}

TEST_F(HidLinkTest, CompletionsOfAClosedDeviceAreIgnored) {
  ASSERT_TRUE(link->Open(0x0483, 0x5750));
  script->SetHoldWrites(true);
  const apdesk::CommandFrame frame = apdesk::BuildGetParametersFrame();
  link->Send(frame.data(), frame.size());
  ASSERT_TRUE(script->WaitForWritesStarted(1));
  ASSERT_TRUE(link->Open(0x0483, 0x5750));  // closes the first device, opens it anew
  script->SetHoldWrites(false);
  PumpFor(150);
  EXPECT_EQ(owner.Count(0x601), 0) << "the old device's write must not mark the new one ready twice";
  EXPECT_TRUE(link->IsReady());

  link->Close();
  script->Push(MakeReport({9}));  // the last read of the closed device may take it: it is dropped
  PumpFor(150);
  EXPECT_EQ(owner.Count(0x600), 0);
}

TEST_F(HidLinkTest, AFailedDeviceStopsTheReaderInsteadOfFlooding) {
  script->readFails = true;
  ASSERT_TRUE(link->Open(0x0483, 0x5750));
  PumpFor(300);
  EXPECT_EQ(owner.Count(0x600), 0);
  EXPECT_EQ(owner.Count(0x602), 1) << "the loss is told once";
  EXPECT_TRUE(link->ReadFailed());
  std::lock_guard lock(script->mutex);
  EXPECT_LE(script->readCalls, 2);
}

// A device that refuses writes is gone as well: told once however many
// writes fail, and the queue still drains.
TEST_F(HidLinkTest, AFailedWriteTellsTheLossOnce) {
  script->writeFails = true;
  script->SetHoldReads(true);
  ASSERT_TRUE(link->Open(0x0483, 0x5750));
  const apdesk::CommandFrame frame = apdesk::BuildGetParametersFrame();
  for (int i = 0; i < 3; ++i) link->Send(frame.data(), frame.size());
  // 90 bytes: two reports.
  ASSERT_TRUE(PumpUntil([&] { return owner.Count(0x601) == 2 && link->QueuedBytes() == 0; }));
  PumpFor(50);
  EXPECT_EQ(owner.Count(0x602), 1);
  EXPECT_TRUE(link->ReadFailed());
}

TEST_F(HidLinkTest, SendPausesFiftyMillisecondsWithOrWithoutADevice) {
  const apdesk::CommandFrame frame = apdesk::BuildGetParametersFrame();
  for (bool open : {false, true}) {
    if (open) {
      ASSERT_TRUE(link->Open(0x0483, 0x5750));
    }
    QElapsedTimer timer;
    timer.start();
    link->Send(frame.data(), frame.size());
    EXPECT_GE(timer.elapsed(), 50) << (open ? "open" : "closed");
  }
}

TEST_F(HidLinkTest, StopClosesTheDeviceAndEndsTheThreads) {
  ASSERT_TRUE(link->Open(0x0483, 0x5750));
  link->Stop();
  EXPECT_FALSE(link->IsOpen());
  script->Push(MakeReport({1}));
  PumpFor(100);
  EXPECT_EQ(owner.Count(0x600), 0);
  link.reset();  // joins the threads; a hang here is a reader that did not stop
}

}  // namespace
