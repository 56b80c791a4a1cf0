// One session: opening one transport closes the other, what arrives reaches
// the session's readers (USB reports not while opening), frames go out the
// open transport, and a followed device that goes away is told and reopened.
#include "link/ControllerSession.h"

#include <gtest/gtest.h>

#include <vector>

#include "FakeHidBackend.h"
#include "LinkTestSupport.h"
#include "common/Pty.h"
#include "protocol/CommandFrame.h"

namespace {

using apdesk::ControllerSession;

class Session : public ::testing::Test {
 protected:
  Session()
      : script(std::make_shared<linktest::FakeHidScript>()), session(linktest::MakeFakeHidBackend(script)) {
    script->devices = {{"fake:0", 0x0483, 0x5750, ""}};
    QObject::connect(&session, &ControllerSession::Connected,
                     [this](bool serial) { events.push_back(serial ? "serial" : "usb"); });
    QObject::connect(&session, &ControllerSession::Closed, [this] { events.push_back("closed"); });
    QObject::connect(&session, &ControllerSession::UsbReport, [this](const std::uint8_t*) { ++reports; });
    QObject::connect(&session, &ControllerSession::SentenceTaken,
                     [this](int, const std::uint8_t*, int, bool) { ++sentences; });
    QObject::connect(&session, &ControllerSession::Lost,
                     [this](bool, apdesk::TransportFailure) { events.push_back("lost"); });
    QObject::connect(&session, &ControllerSession::Returned, [this](bool) { events.push_back("returned"); });
  }

  // A "$PAR" sentence's first 64 bytes: enough to be counted as a report.
  static linktest::Report Report() { return linktest::MakeReport({'$', 'P', 'A', 'R'}); }

  std::shared_ptr<linktest::FakeHidScript> script;
  ControllerSession session;
  std::vector<std::string> events;
  int reports = 0;
  int sentences = 0;
};

TEST_F(Session, OneTransportAtATimeAndReportsHeldBackWhileOpening) {
  testsupport::Pty pty;
  ASSERT_TRUE(pty.Ok());

  ASSERT_TRUE(session.OpenUsb(0x0483, 0x5750));
  EXPECT_TRUE(session.IsOpen());
  EXPECT_FALSE(session.IsSerial());
  script->Push(Report());
  ASSERT_TRUE(linktest::PumpUntil([&] { return session.Link().UsbReports() == 1; }));
  EXPECT_EQ(reports, 0) << "a report while opening is not handed out";
  session.EndUsbOpening();
  script->Push(Report());
  ASSERT_TRUE(linktest::PumpUntil([&] { return reports == 1; }));

  ASSERT_TRUE(session.OpenSerial(pty.SlavePath(), apdesk::LineSettingsFromStored(std::nullopt)));
  EXPECT_FALSE(session.Usb().IsOpen()) << "opening the port closes the USB device";
  EXPECT_TRUE(session.IsSerial());
  session.Commands().SendGetParameters();
  const apdesk::CommandFrame frame = apdesk::BuildGetParametersFrame();
  std::vector<std::uint8_t> wrote;
  linktest::PumpUntil([&] {
    const std::vector<std::uint8_t> got = pty.TakeWaiting();
    wrote.insert(wrote.end(), got.begin(), got.end());
    return wrote.size() >= frame.size();
  });
  EXPECT_EQ(wrote, std::vector<std::uint8_t>(frame.begin(), frame.end()));

  const std::uint8_t status[] = "$STP";
  ASSERT_TRUE(pty.WriteMaster(status, 4));
  ASSERT_TRUE(session.OpenUsb(0x0483, 0x5750));
  EXPECT_FALSE(session.Serial().IsOpen()) << "opening USB closes the port";
  session.Close();
  session.Close();
  EXPECT_FALSE(session.IsOpen());
  EXPECT_EQ(events, (std::vector<std::string>{"usb", "serial", "usb", "closed"}));
}

TEST_F(Session, AFollowedDeviceThatGoesIsToldOnceAndReopened) {
  session.Follow();
  EXPECT_EQ(&session.Follow(), session.Follower()) << "one follower";
  ASSERT_TRUE(session.OpenUsb(0x0483, 0x5750));
  {
    std::lock_guard lock(script->mutex);
    script->readFails = true;
  }
  ASSERT_TRUE(linktest::PumpUntil([&] { return !session.IsOpen(); }));
  {
    std::lock_guard lock(script->mutex);
    script->readFails = false;
  }
  session.Follower()->LookOnce();
  EXPECT_TRUE(session.Usb().IsOpen());
  EXPECT_EQ(events, (std::vector<std::string>{"usb", "lost", "returned"}));
}

}  // namespace
