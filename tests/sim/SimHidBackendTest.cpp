#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "StreamDecoder.h"
#include "UpgradeToolScript.h"
#include "sim/SimHidBackend.h"

using apdesk::sim::MakeSimHidBackend;
using apdesk::sim::SimHandle;
using apdesk::sim::SimOptions;
using namespace simtest;
using Clock = std::chrono::steady_clock;

TEST(SimHidBackend, ListsAndOpensOneDevice) {
  auto backend = MakeSimHidBackend(SimOptions{});
  const auto all = backend->Enumerate(0, 0);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].path, "sim");
  EXPECT_EQ(all[0].vendorId, 0x0483);
  EXPECT_EQ(all[0].productId, 0x5750);
  EXPECT_EQ(backend->Enumerate(0x0483, 0x5750).size(), 1u);
  EXPECT_TRUE(backend->Enumerate(0x0483, 0x1234).empty());
  EXPECT_EQ(backend->OpenPath("hidsock:/tmp/x"), nullptr);
  EXPECT_NE(backend->OpenPath("sim"), nullptr);
}

TEST(SimHidBackend, ReaderAndWriterThreadsMeetTheController) {
  std::shared_ptr<SimHandle> handle;
  SimOptions o;
  o.rateHz = 50;
  auto backend = MakeSimHidBackend(o, &handle);
  auto device = backend->OpenPath("sim");
  ASSERT_NE(device, nullptr);

  std::vector<std::uint8_t> stream;
  std::atomic<bool> stop{false};
  int failures = 0;
  std::thread reader([&] {
    std::uint8_t r[64];
    while (!stop) {
      const int n = device->ReadReport(r, 50);
      if (n == 64) stream.insert(stream.end(), r, r + 64);
      if (n < 0 || (n != 0 && n != 64)) ++failures;
    }
  });
  // The writer sends while the reader waits: a get-parameters frame, then a
  // parameter write, then another get.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(device->WriteReport(Padded(Command(0x68)).data()), 64);
  std::array<std::uint8_t, 20> block{};
  for (int i = 0; i < 20; ++i) block[i] = static_cast<std::uint8_t>(i + 1);
  EXPECT_EQ(device->WriteReport(Padded(SetParameters(block)).data()), 64);
  EXPECT_EQ(device->WriteReport(Padded(Command(0x68)).data()), 64);
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  stop = true;
  reader.join();

  EXPECT_EQ(failures, 0);
  const Decoded d = Decode(stream);
  std::size_t status = 0;
  std::vector<Sentence> par;
  for (const Sentence& s : d.sentences) {
    if (s.tag == "$STP" && SumOk(s.bytes)) ++status;
    if (s.tag == "$PAR" && SumOk(s.bytes)) par.push_back(s);
  }
  EXPECT_GE(status, 35u);  // 50 Hz for a second, give or take a loaded machine
  ASSERT_EQ(par.size(), 2u);
  EXPECT_EQ(par[0].bytes[7], 80);
  EXPECT_EQ(par[1].bytes[7], 1);  // block byte 0 is the fail-safe code
  const auto counters = handle->Counters();
  EXPECT_EQ(counters.getParameters, 2u);
  EXPECT_EQ(counters.setAccepted, 1u);
  EXPECT_EQ(handle->Parameters()[33], 2);
}

TEST(SimHidBackend, UnpluggedDeviceFailsAndIsNoLongerListed) {
  for (bool byFault : {false, true}) {
    std::shared_ptr<SimHandle> handle;
    SimOptions o;
    if (byFault) o.faults.vanishAtMs = 200;
    auto backend = MakeSimHidBackend(o, &handle);
    auto device = backend->OpenPath("sim");
    ASSERT_NE(device, nullptr);
    std::uint8_t r[64];
    EXPECT_EQ(device->ReadReport(r, 150), 64);
    if (!byFault) handle->Unplug();
    const auto start = Clock::now();
    int n = 0;
    while ((n = device->ReadReport(r, 100)) == 64 && Clock::now() - start < std::chrono::seconds(2)) {
    }
    EXPECT_EQ(n, -1);
    EXPECT_EQ(device->ReadReport(r, 10), -1);
    EXPECT_EQ(device->WriteReport(r), -1);
    EXPECT_TRUE(backend->Enumerate(0x0483, 0x5750).empty());
    EXPECT_EQ(backend->OpenPath("sim"), nullptr);
  }
}

TEST(SimHidBackend, BootLoaderUpgradeInRealTime) {
  std::shared_ptr<SimHandle> handle;
  SimOptions o;
  o.bootloader = true;
  auto backend = MakeSimHidBackend(o, &handle);
  auto device = backend->OpenPath("sim");
  ASSERT_NE(device, nullptr);
  ScriptedTool tool(TestImage(2000, 4));
  const auto end = Clock::now() + std::chrono::seconds(20);
  std::uint8_t r[64];
  while (Clock::now() < end && !(tool.success && tool.finishAcked) && !tool.verifyError) {
    if (device->ReadReport(r, 100) != 64) continue;
    for (const Report64& reply : tool.Handle(r)) device->WriteReport(reply.data());
  }
  EXPECT_TRUE(tool.success);
  EXPECT_TRUE(handle->UpgradeComplete());
  EXPECT_EQ(handle->ReceivedImage(),
            std::vector<std::uint8_t>(tool.image.begin(), tool.image.begin() + 2000));
}
