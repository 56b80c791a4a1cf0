// The socket back end against a device peer in another process.
#include "link/HidSockBackend.h"

#include <gtest/gtest.h>

#include <cstring>

#include "SocketPeer.h"

namespace apdesk {
namespace {

class HidSockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    peer = linktest::StartSocketPeer();
    ASSERT_GT(peer.pid, 0);
    backend = MakeHidSockBackend(peer.path);
  }
  void TearDown() override { linktest::StopSocketPeer(peer); }

  std::unique_ptr<IHidDevice> OpenFirst() {
    const auto devices = backend->Enumerate(0x0483, 0x5750);
    if (devices.size() != 1) return nullptr;
    return backend->OpenPath(devices[0].path);
  }

  // Reads one report, waiting a few seconds at most.
  int Read(IHidDevice& d, std::uint8_t* report) {
    for (int i = 0; i < 100; ++i) {
      const int n = d.ReadReport(report, 50);
      if (n != 0) return n;
    }
    return 0;
  }

  linktest::SocketPeer peer;
  std::unique_ptr<IHidBackend> backend;
};

TEST_F(HidSockTest, ListsThePeerOnlyWhenItIsThereAndOnlyForItsIds) {
  auto devices = backend->Enumerate(0x0483, 0x5750);
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].path, "hidsock:" + peer.path);
  EXPECT_EQ(devices[0].vendorId, 0x0483);
  EXPECT_EQ(devices[0].productId, 0x5750);
  EXPECT_TRUE(backend->Enumerate(0x0483, 0x5751).empty());

  EXPECT_TRUE(MakeHidSockBackend("/tmp/no-such-apdesk-socket")->Enumerate(0x0483, 0x5750).empty());
  EXPECT_EQ(backend->OpenPath(peer.path), nullptr) << "a path without the prefix is not ours";
  linktest::StopSocketPeer(peer);
  EXPECT_TRUE(backend->Enumerate(0x0483, 0x5750).empty());
  EXPECT_EQ(backend->OpenPath("hidsock:" + peer.path), nullptr);
}

TEST_F(HidSockTest, ExchangesReportsAndStreamsInOrder) {
  auto device = OpenFirst();
  ASSERT_NE(device, nullptr);
  std::uint8_t out[64], in[64];
  for (int i = 0; i < 64; ++i) out[i] = static_cast<std::uint8_t>(i * 3);
  out[0] = 'E';
  ASSERT_EQ(device->WriteReport(out), 64);
  ASSERT_EQ(Read(*device, in), 64);
  EXPECT_EQ(in[0], 'e');
  for (int i = 1; i < 64; ++i) ASSERT_EQ(in[i], static_cast<std::uint8_t>(out[i] + 1)) << i;

  std::memset(out, 0, sizeof(out));
  out[0] = 'S';
  out[1] = 2000 & 0xFF;
  out[2] = 2000 >> 8;
  ASSERT_EQ(device->WriteReport(out), 64);
  for (std::uint32_t k = 0; k < 2000; ++k) {
    ASSERT_EQ(Read(*device, in), 64) << "report " << k;
    std::uint32_t got = 0;
    for (int b = 0; b < 4; ++b) got |= static_cast<std::uint32_t>(in[1 + b]) << (8 * b);
    ASSERT_EQ(got, k);
    for (int i = 5; i < 64; ++i) ASSERT_EQ(in[i], linktest::StreamByte(k, i));
  }
  EXPECT_EQ(device->ReadReport(in, 20), 0) << "nothing more than was sent";
}

TEST_F(HidSockTest, ClosedPeerAndBadPacketFailTheDevice) {
  struct Case {
    char command;
  } cases[] = {{'X'}, {'B'}};
  for (const Case& c : cases) {
    auto device = OpenFirst();
    ASSERT_NE(device, nullptr);
    std::uint8_t out[64] = {static_cast<std::uint8_t>(c.command)}, in[64];
    ASSERT_EQ(device->WriteReport(out), 64);
    EXPECT_EQ(Read(*device, in), -1) << c.command;
    EXPECT_EQ(device->ReadReport(in, 10), -1) << "a failed device stays failed";
    EXPECT_EQ(device->WriteReport(out), -1);
  }
}

}  // namespace
}  // namespace apdesk
