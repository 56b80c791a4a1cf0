// CCommandLink sends every frame to the open serial port and to the HID link.
#include "link/CommandLink.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include "FakeHidBackend.h"
#include "LinkTestSupport.h"
#include "common/Pty.h"
#include "core/SettingsStore.h"
#include "link/CommUart.h"
#include "link/HidLink.h"

namespace {

using apdesk::CommandFrame;
using linktest::PumpUntil;

class CommandLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    char dir[] = "/tmp/apdesk-cmdlink-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    folder = dir;
    settings = std::make_unique<apdesk::SettingsStore>(folder + "/MPCFG.ini");
    settings->WriteSettingString("Settings1", "COMPORT", pty.SlavePath());
    script = std::make_shared<linktest::FakeHidScript>();
    script->devices = {{"fake:0", 0x0483, 0x5750, ""}};
    hid = std::make_unique<CHidLink>(linktest::MakeFakeHidBackend(script));
    commands = std::make_unique<CCommandLink>(uart, *hid);
    uart.Init(&owner);
    owner.onUartSent = [this] { uart.CompleteWrite(); };
    owner.onHidSent = [this] {
      hid->SetReady(true);
      hid->Flush();
    };
    hid->StartReader(&owner);
  }

  void TearDown() override {
    commands.reset();
    hid.reset();
    ::unlink((folder + "/MPCFG.ini").c_str());
    ::rmdir(folder.c_str());
  }

  testsupport::Pty pty;
  std::string folder;
  std::unique_ptr<apdesk::SettingsStore> settings;
  std::shared_ptr<linktest::FakeHidScript> script;
  CCommUart uart;
  std::unique_ptr<CHidLink> hid;
  std::unique_ptr<CCommandLink> commands;
  linktest::RecordingOwner owner;
};

TEST_F(CommandLinkTest, EveryOperationSendsItsFrameToBothTransports) {
  ASSERT_TRUE(uart.Open(pty.SlavePath(), apdesk::LineSettingsFromStored(std::nullopt)));
  ASSERT_TRUE(hid->Open(0x0483, 0x5750));
  std::array<std::uint8_t, apdesk::kParameterBlockSize> block;
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(0xF0 + i);
  struct Case {
    const char* name;
    std::function<void()> send;
    CommandFrame expected;
  } cases[] = {
      {"get parameters", [&] { commands->SendGetParameters(); }, apdesk::BuildGetParametersFrame()},
      {"calibrate", [&] { commands->SendCommand(apdesk::CMD_CALIBRATE_STICKS); },
       apdesk::BuildCommandFrame(apdesk::CMD_CALIBRATE_STICKS)},
      {"parameters", [&] { commands->SendParameters(block); }, apdesk::BuildSetParametersFrame(block)},
      {"defaults", [&] { commands->SendRestoreDefaults(); }, apdesk::BuildRestoreDefaultsFrame()},
      {"compass on", [&] { commands->SendFrame(apdesk::BuildCompassCheckOnFrame()); },
       apdesk::BuildCompassCheckOnFrame()},
  };
  std::size_t reports = 0;
  for (const Case& c : cases) {
    c.send();
    ++reports;
    // The serial line is written from the event loop: wait for both transports.
    ASSERT_TRUE(PumpUntil([&] {
      return script->Written().size() == reports && hid->IsReady() && pty.Waiting() >= 30;
    })) << c.name;
    const auto line = pty.ReadMaster(30);
    EXPECT_EQ(line, std::vector<std::uint8_t>(c.expected.begin(), c.expected.end())) << c.name;
    linktest::Report report{};
    std::copy(c.expected.begin(), c.expected.end(), report.begin());
    EXPECT_EQ(script->Written().back(), report) << c.name;
  }
}

TEST_F(CommandLinkTest, WithNothingOpenAFrameIsDroppedAfterTheFiftyMillisecondPause) {
  QElapsedTimer timer;
  timer.start();
  commands->SendGetParameters();
  EXPECT_GE(timer.elapsed(), 50);
  linktest::PumpFor(100);
  EXPECT_EQ(script->WritesStarted(), 0);
  EXPECT_EQ(pty.ReadMaster(1, 50).size(), 0u);

  // The serial port alone: the frame goes out on the line.
  ASSERT_TRUE(uart.Open(pty.SlavePath(), apdesk::LineSettingsFromStored(std::nullopt)));
  commands->SendGetParameters();
  const CommandFrame f = apdesk::BuildGetParametersFrame();
  ASSERT_TRUE(PumpUntil([&] { return pty.Waiting() >= 30; }));
  EXPECT_EQ(pty.ReadMaster(30), std::vector<std::uint8_t>(f.begin(), f.end()));
  EXPECT_EQ(script->WritesStarted(), 0);
}

}  // namespace
