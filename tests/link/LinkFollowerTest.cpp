// Following the controller: which returning device is the one that went, a
// loss told once, the same USB device reopened among others, and the
// operator's own choice left alone. (Serial ports that return: the window's
// and apctl's tests against apsim.)
#include <gtest/gtest.h>

#include "FakeHidBackend.h"
#include "LinkTestSupport.h"
#include "core/DeviceMatch.h"
#include "link/CommUart.h"
#include "link/ControllerLink.h"
#include "link/HidLink.h"
#include "link/LinkFollower.h"

namespace {

using apdesk::ChooseReturningDevice;
using apdesk::HidDeviceInfo;
using apdesk::LinkFollower;

HidDeviceInfo Device(const char* path, const char* serial, std::uint16_t product = 0x5750) {
  HidDeviceInfo d;
  d.path = path;
  d.vendorId = 0x0483;
  d.productId = product;
  d.serialNumber = serial;
  return d;
}

TEST(DeviceMatch, TheSameDeviceIsChosenFirstThenThePathThenAny) {
  struct Case {
    const char* what;
    std::vector<HidDeviceInfo> present;
    HidDeviceInfo previous;
    const char* chosen;  // nullptr: none
  };
  const Case cases[] = {
      {"nothing present", {}, Device("a", "S1"), nullptr},
      {"only other ids", {Device("a", "S1", 0x1234)}, Device("a", "S1"), nullptr},
      {"same serial on another port", {Device("c", "S2"), Device("b", "S1")}, Device("a", "S1"), "b"},
      {"serial beats path", {Device("a", "S2"), Device("b", "S1")}, Device("a", "S1"), "b"},
      {"no serial: same path", {Device("c", ""), Device("a", "")}, Device("a", ""), "a"},
      {"serial gone (boot loader): same path", {Device("c", "S9"), Device("a", "")}, Device("a", "S1"), "a"},
      {"nothing matches: first with the ids",
       {Device("x", "S5", 0x1), Device("c", "S2")},
       Device("a", "S1"),
       "c"},
      {"no previous device: first with the ids", {Device("c", "S2"), Device("d", "")}, Device("", ""), "c"},
  };
  for (const Case& c : cases) {
    const auto chosen = ChooseReturningDevice(c.present, c.previous);
    if (c.chosen == nullptr) {
      EXPECT_FALSE(chosen.has_value()) << c.what;
    } else {
      ASSERT_TRUE(chosen.has_value()) << c.what;
      EXPECT_EQ(chosen->path, c.chosen) << c.what;
    }
  }
}

class Follow : public ::testing::Test {
 protected:
  Follow()
      : script(std::make_shared<linktest::FakeHidScript>()),
        hid(linktest::MakeFakeHidBackend(script)),
        link(uart, hid),
        follower(link, uart, hid) {
    QObject::connect(&follower, &LinkFollower::Lost, [this](bool serial, apdesk::TransportFailure) {
      ++lost;
      lostSerial = serial;
    });
    QObject::connect(&follower, &LinkFollower::Returned, [this](bool) { ++returned; });
  }
  ~Follow() override { hid.Stop(); }

  void SetDevices(std::vector<HidDeviceInfo> devices, bool readFails) {
    std::lock_guard lock(script->mutex);
    script->devices = std::move(devices);
    script->readFails = readFails;
  }
  std::vector<std::string> Opened() {
    std::lock_guard lock(script->mutex);
    return script->opened;
  }

  std::shared_ptr<linktest::FakeHidScript> script;
  CCommUart uart;
  CHidLink hid;
  apdesk::ControllerLink link;
  LinkFollower follower;
  int lost = 0, returned = 0;
  bool lostSerial = false;
};

TEST_F(Follow, TheSameUsbDeviceIsReopenedAmongOthersAndTheLossToldOnce) {
  SetDevices({Device("a", "S1")}, false);
  ASSERT_TRUE(hid.Open(0x0483, 0x5750));
  EXPECT_FALSE(follower.Looking());  // connected: nothing to look for

  SetDevices({}, true);  // pulled: reads fail, the device is gone from the list
  ASSERT_TRUE(linktest::PumpUntil([&] { return lost > 0; }));
  Q_EMIT link.LinkLost(false,
                       apdesk::TransportFailure::ReadFailed);  // a late second message of the same loss
  linktest::PumpFor(50);
  EXPECT_EQ(lost, 1);
  EXPECT_FALSE(lostSerial);
  EXPECT_FALSE(hid.IsOpen());
  EXPECT_TRUE(follower.IsLost());

  follower.LookOnce();  // not back yet
  EXPECT_EQ(returned, 0);
  EXPECT_EQ(Opened().size(), 1u);

  // Back on another port, behind another controller with the same ids.
  SetDevices({Device("c", "S2"), Device("b", "S1")}, false);
  follower.LookOnce();
  EXPECT_EQ(returned, 1);
  EXPECT_TRUE(hid.IsOpen());
  EXPECT_EQ(Opened().back(), "b");
  EXPECT_FALSE(follower.Looking());
  EXPECT_GE(follower.LastReturnMs(), 0);
}

TEST_F(Follow, TheOperatorsOwnChoiceStands) {
  SetDevices({Device("a", "S1")}, false);
  ASSERT_TRUE(hid.Open(0x0483, 0x5750));
  SetDevices({}, true);
  ASSERT_TRUE(linktest::PumpUntil([&] { return lost > 0; }));
  SetDevices({Device("z", "S7")}, false);
  ASSERT_TRUE(hid.Open(0x0483, 0x5750));  // Open USB pressed meanwhile
  follower.LookOnce();
  EXPECT_FALSE(follower.Looking());
  EXPECT_EQ(returned, 0);
  EXPECT_EQ(Opened().back(), "z");
}

}  // namespace
