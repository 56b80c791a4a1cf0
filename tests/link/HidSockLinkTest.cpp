// The whole HID path with the device in another process: CHidLink over the
// socket back end, a frame out, a stream of reports back in.
#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "SocketPeer.h"
#include "link/HidLink.h"
#include "link/HidSockBackend.h"

namespace {

TEST(HidSockLink, ACommandOutAndAStreamOfReportsBackInOrder) {
  linktest::SocketPeer peer = linktest::StartSocketPeer();
  ASSERT_GT(peer.pid, 0);
  constexpr std::uint32_t kCount = 3000;
  std::vector<std::array<std::uint8_t, 64>> received;
  {
    CHidLink link(apdesk::MakeHidSockBackend(peer.path));
    linktest::RecordingOwner owner;
    owner.onHidReceived = [&] {
      std::array<std::uint8_t, 64> r;
      link.TakeReport(r.data());
      received.push_back(r);
    };
    owner.onHidSent = [&] {
      link.SetReady(true);
      link.Flush();
    };
    link.StartReader(&owner);
    ASSERT_TRUE(link.Open(0x0483, 0x5750));
    const std::uint8_t stream[3] = {'S', kCount & 0xFF, kCount >> 8};
    link.Send(stream, sizeof(stream));
    EXPECT_TRUE(linktest::PumpUntil([&] { return received.size() == kCount; }, 20000)) << received.size();
    EXPECT_EQ(owner.Count(0x601), 1);
  }
  linktest::StopSocketPeer(peer);
  ASSERT_EQ(received.size(), kCount);
  for (std::uint32_t k = 0; k < kCount; ++k) {
    std::uint32_t got = 0;
    for (int b = 0; b < 4; ++b) got |= static_cast<std::uint32_t>(received[k][1 + b]) << (8 * b);
    ASSERT_EQ(got, k);
    for (int i = 5; i < 64; ++i) ASSERT_EQ(received[k][i], linktest::StreamByte(k, i));
  }
}

}  // namespace
