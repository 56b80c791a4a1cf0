#include "app/HidBackendChoice.h"

#include <gtest/gtest.h>

#include "sim/SimHidBackend.h"
#include "sim/SimOptions.h"

namespace apdesk {
namespace {

using Connect = StartupChoice::Connect;

TEST(HidBackendChoice, OptionsGiveBackEndAndStartConnection) {
  struct Case {
    bool simulate;
    const char* connect;
    bool ok;
    Connect how;
    const char* backend;
    const char* port;
  } cases[] = {
      {false, "", true, Connect::None, "usb", ""},
      {true, "", true, Connect::Usb, "sim", ""},
      {false, "usb", true, Connect::Usb, "usb", ""},
      {true, "usb", true, Connect::Usb, "sim", ""},
      {false, "sim", true, Connect::Usb, "sim", ""},
      {false, "hidsock:/tmp/ap.sock", true, Connect::Usb, "hidsock:/tmp/ap.sock", ""},
      {false, "serial:ttyUSB0", true, Connect::Serial, "usb", "ttyUSB0"},
      {true, "serial:/dev/pts/3", true, Connect::Serial, "sim", "/dev/pts/3"},
      {false, "auto", true, Connect::Auto, "usb", ""},
      {true, "auto", true, Connect::Auto, "sim", ""},
      {false, "serial:", false, Connect::None, "", ""},
      {false, "hidsock:", false, Connect::None, "", ""},
      {true, "hidsock:/tmp/x", false, Connect::None, "", ""},
      {false, "bluetooth", false, Connect::None, "", ""},
      {false, "USB", false, Connect::None, "", ""},
  };
  for (const Case& c : cases) {
    StartupChoice choice;
    std::string error;
    const bool ok = ParseStartupChoice(c.simulate, c.connect, &choice, &error);
    EXPECT_EQ(ok, c.ok) << c.connect;
    if (!ok) {
      EXPECT_FALSE(error.empty()) << c.connect;
      continue;
    }
    EXPECT_EQ(choice.connect, c.how) << c.connect;
    EXPECT_EQ(choice.hidBackend, c.backend) << c.connect;
    EXPECT_EQ(choice.serialPort, c.port) << c.connect;
  }
}

TEST(HidBackendChoice, MakesTheNamedBackEnd) {
  sim::SimOptions options;
  std::string error;
  std::shared_ptr<sim::SimHandle> handle;
  auto simBackend = MakeHidBackend("sim", options, &error, &handle);
  ASSERT_NE(simBackend, nullptr);
  ASSERT_NE(handle, nullptr);
  const auto devices = simBackend->Enumerate(0x0483, 0x5750);
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_NE(simBackend->OpenPath(devices[0].path), nullptr);

  EXPECT_NE(MakeHidBackend("hidsock:/nonexistent/ap.sock", options, &error), nullptr);
  for (const char* bad : {"hidsock:", "bluetooth", ""}) {
    error.clear();
    EXPECT_EQ(MakeHidBackend(bad, options, &error), nullptr) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

}  // namespace
}  // namespace apdesk
