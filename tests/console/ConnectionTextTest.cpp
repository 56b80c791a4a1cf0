// The status line's words for each state of the connection.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "console/ConnectionStatusText.h"

namespace apdesk {
namespace {

const std::map<std::string, std::string> kTexts = {
    {"LID_LINK_NONE", "Not connected"},
    {"LID_LINK_WAITING", "Waiting"},
    {"LID_LINK_LOST", "Lost at %1; looking for %2"},
    {"LID_LINK_USB", "USB: %1"},
    {"LID_LINK_SERIAL", "Serial %1 at %2 baud"},
    {"LID_LINK_RATE", "%1 records/s"},
    {"LID_LINK_AGE", "last %1 s ago"},
    {"LID_LINK_NO_RECORD", "no record yet"},
    {"LID_LINK_BAD_SUMS", "bad sums: %1"},
    {"LID_LINK_REPLAY", "Replaying %1 at %2x"},
    {"LID_LINK_REPLAY_AT", "record %1, %2 UTC"},
    {"LID_LINK_REPLAY_PAUSED", "paused"},
    {"LID_LINK_REPLAY_END", "played to the end"},
    {"LID_LINK_NO_ANSWER", "no answer from the controller on %1"},
};

std::string Lookup(const char* key) {
  const auto it = kTexts.find(key);
  return it == kTexts.end() ? std::string() : it->second;
}

TEST(ConnectionText, EachStateSaysWhatItShould) {
  using K = ConnectionState::Kind;
  struct Case {
    ConnectionState state;
    std::string expected;
  };
  const Case cases[] = {
      {{K::NotConnected, "", 0, 12.0, 400, 3, "", -1, {}}, "Not connected"},
      {{K::Waiting, "", 0, 0, -1, 0, "", -1, {}}, "Waiting"},
      {{K::Lost, "ttyUSB0", 115200, 10, 3000, 2, "07:31:02", -1, {}},
       "Lost at 07:31:02; looking for ttyUSB0"},
      {{K::Usb, "Flight controller", 0, 9.96, -1, 0, "", -1, {}},
       "USB: Flight controller  |  10.0 records/s  |  no record yet  |  bad sums: 0"},
      {{K::Serial, "/dev/ttyACM0", 115200, 20, 1249, 17, "", -1, {}},
       "Serial /dev/ttyACM0 at 115200 baud  |  20.0 records/s  |  last 1.2 s ago  |  bad sums: 17"},
      {{K::Serial, "ttyUSB1", 57600, 0, 0, 0, "", -1, {}},
       "Serial ttyUSB1 at 57600 baud  |  0.0 records/s  |  last 0.0 s ago  |  bad sums: 0"},
      // A port that never answers: said after a few seconds, never before.
      {{K::Serial, "/dev/pts/5", 115200, 0, -1, 0, "", 2900, {}},
       "Serial /dev/pts/5 at 115200 baud  |  0.0 records/s  |  no record yet  |  bad sums: 0"},
      {{K::Serial, "/dev/pts/5", 115200, 0, -1, 0, "", 3000, {}},
       "Serial /dev/pts/5 at 115200 baud  |  0.0 records/s  |  no answer from the controller on /dev/pts/5  "
       "|  "
       "bad sums: 0"},
      {{K::Usb, "AP", 0, 0, 400, 0, "", 60000, {}},
       "USB: AP  |  0.0 records/s  |  last 0.4 s ago  |  bad sums: 0"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatConnectionStatus(c.state, Lookup), c.expected);
}

// A replay is no connection: the line says what is played, how fast and where.
TEST(ConnectionText, AReplaySaysWhatWhereAndHowFast) {
  struct Case {
    ConnectionState::Replay replay;
    std::string expected;
  } cases[] = {
      {{"a.hj", 1, 0, "", false, false}, "Replaying a.hj at 1x  |  record 0, - UTC"},
      {{"b.hj", 2.5, 1234, "08:00:12", false, false}, "Replaying b.hj at 2.5x  |  record 1234, 08:00:12 UTC"},
      {{"b.hj", 0.1, 7, "08:00:00", true, false},
       "Replaying b.hj at 0.1x  |  record 7, 08:00:00 UTC  |  paused"},
      {{"c.hj", 1, 9, "23:59:59", true, true},
       "Replaying c.hj at 1x  |  record 9, 23:59:59 UTC  |  played to the end"},
  };
  for (const Case& c : cases) {
    ConnectionState state;
    state.kind = ConnectionState::Kind::Replaying;
    state.replay = c.replay;
    EXPECT_EQ(FormatConnectionStatus(state, Lookup), c.expected);
  }
}

// A language file whose text lacks a mark, or lacks the key, loses only that
// value, never the rest of the line.
TEST(ConnectionText, MissingMarksAndKeysLoseOnlyTheirValue) {
  ConnectionState lost{ConnectionState::Kind::Lost, "ttyUSB0", 0, 0, -1, 0, "08:00:00", -1, {}};
  EXPECT_EQ(FormatConnectionStatus(lost, [](const char*) { return std::string("Lost"); }), "Lost");
  EXPECT_EQ(FormatConnectionStatus(lost, [](const char*) { return std::string("%2 (%1)"); }),
            "ttyUSB0 (08:00:00)");
  ConnectionState usb{ConnectionState::Kind::Usb, "AP", 0, 5, 100, 1, "", -1, {}};
  EXPECT_EQ(FormatConnectionStatus(usb, [](const char*) { return std::string(); }), "  |    |    |  ");
}

}  // namespace
}  // namespace apdesk
