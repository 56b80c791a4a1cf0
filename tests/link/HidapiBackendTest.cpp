// The hidapi back end on this machine, for real: no controller is attached,
// so Open finds nothing and says nothing.
#include "link/HidapiBackend.h"

#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "link/HidLink.h"

namespace {

TEST(HidapiBackend, OpenWithNoDeviceAttachedReturnsFalseWithoutAMessage) {
  auto backend = apdesk::MakeHidapiBackend();
  ASSERT_NE(backend, nullptr) << "hidapi did not initialise";
  if (!backend->Enumerate(0x0483, 0x5750).empty()) GTEST_SKIP() << "a controller is attached here";
  EXPECT_EQ(backend->OpenPath("/dev/apdesk-no-such-hidraw"), nullptr);

  CHidLink link(std::move(backend));
  std::vector<apdesk::TransportFailure> notes;
  link.SetNotifier([&](apdesk::TransportFailure why) { notes.push_back(why); });
  linktest::RecordingOwner owner;
  link.StartReader(&owner);
  EXPECT_FALSE(link.Open(0x0483, 0x5750));
  EXPECT_FALSE(link.IsOpen());
  EXPECT_TRUE(link.IsReady());
  EXPECT_TRUE(notes.empty());
  // A second back end shares the one hidapi initialisation.
  EXPECT_NE(apdesk::MakeHidapiBackend(), nullptr);
}

}  // namespace
