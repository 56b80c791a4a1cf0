// The alert rules against short synthetic streams: each case is a list of
// segments (readings every 100 ms) and the alerts it must give, in order.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "alerts/AlertRules.h"
#include "alerts/AlertText.h"

namespace apdesk::alerts {
namespace {

constexpr int kCells = 4;
constexpr double kHomeLat = 22.5, kHomeLon = 113.9;

// What the controller reports for a while: volts per cell (0 = a 0 V
// reading), satellites, metres north of home, metres above home.
struct Segment {
  int ms;
  double cellVolts = 3.9;
  int satellites = 10;
  double north = 0;
  double height = 0;
};

struct Case {
  const char* name;
  std::vector<Segment> segments;
  std::vector<std::string> expected;  // "name state level"
  bool limits = true;
  int cells = kCells;
};

// 4 cells, 3.60 V per cell, 100 m high, 200 m far.
AlertLimits Limits(int cells) {
  return AlertLimits{cells, 3.60, 100, 200};
}

std::string Describe(const AlertEvent& e) {
  return std::string(AlertNameText(e.name)) + " " + AlertStateText(e.state) + " " + AlertLevelText(e.level);
}

// Plays the segments from t = 0 and returns every event described.
std::vector<std::string> Play(AlertRules& rules, const std::vector<Segment>& segments, std::int64_t* t) {
  std::vector<std::string> seen;
  for (const Segment& s : segments) {
    for (int i = 0; i < s.ms / 100; ++i) {
      StatusReading r;
      r.volts = s.cellVolts * kCells;
      r.satellites = s.satellites;
      r.latitude = kHomeLat + s.north / 111195.0;  // metres per degree on the rules' sphere
      r.longitude = kHomeLon;
      r.altitudeM = 50 + s.height;
      rules.Status(r, *t);
      *t += 100;
      for (const AlertEvent& e : rules.TakeEvents()) seen.push_back(Describe(e));
    }
  }
  return seen;
}

TEST(AlertRules, StreamsGiveExactlyTheirAlerts) {
  const std::vector<Case> cases = {
      {"steady", {{10000}}, {}},
      {"dip shorter than the hold", {{2000}, {2500, 3.50}, {3000}}, {}},
      {"sag raises once and clears once",
       {{1000}, {4000, 3.50}, {5000}, {5000}},
       {"low_voltage raised warning", "low_voltage cleared warning"}},
      {"one 0 V reading is not a reading", {{1000}, {100, 0}, {3000}}, {}},
      {"a long run of 0 V is not a low battery", {{1000}, {8000, 0}, {1000}}, {}},
      {"0 V readings inside a sag do not restart its hold",
       {{1000}, {1500, 3.5}, {200, 0}, {1500, 3.5}, {1000, 3.5}},
       {"low_voltage raised warning"}},
      {"noise around the threshold",
       {{1000}, {100, 3.59}, {100, 3.61}, {100, 3.59}, {100, 3.61}, {100, 3.59}},
       {}},
      {"noise under the clearing point does not clear or raise again",
       {{4000, 3.50}, {800, 3.63}, {100, 3.66}, {800, 3.63}, {100, 3.66}, {800, 3.59}},
       {"low_voltage raised warning"}},
      {"recovery too short to clear", {{4000, 3.50}, {2500}, {1000, 3.5}}, {"low_voltage raised warning"}},
      {"critical after warning, both cleared",
       {{3100, 3.30}, {4000}},
       {"low_voltage raised warning", "critical_voltage raised critical", "low_voltage cleared warning",
        "critical_voltage cleared critical"}},
      {"critical repeats every 30 s while it holds",
       {{65000, 3.30}},
       {"low_voltage raised warning", "critical_voltage raised critical",
        "critical_voltage repeated critical", "critical_voltage repeated critical"}},
      {"cell count 0 turns the voltage rules off", {{5000, 3.3}}, {}, true, 0},
      {"no parameters read yet: no limit rules", {{5000, 3.3, 10, 300, 200}}, {}, false},
      {"gps lost after a fix and found again",
       {{1000}, {3500, 3.9, 4}, {3500}},
       {"gps_lost raised warning", "gps_lost cleared warning"}},
      {"a short loss of satellites", {{1000}, {2000, 3.9, 3}, {3000}}, {}},
      {"no fix yet is not a lost fix", {{5000, 3.9, 3}}, {}},
      {"distance warning, critical and back",
       {{1000}, {1500, 3.9, 10, 185}, {1500, 3.9, 10, 205}, {1500, 3.9, 10, 185}, {1500, 3.9, 10, 100}},
       {"distance_limit raised warning", "distance_limit raised critical", "distance_limit cleared critical",
        "distance_limit cleared warning"}},
      {"a single far reading", {{1000}, {100, 3.9, 10, 900}, {1000}}, {}},
      {"hovering just under the clearing point",
       {{1000}, {1500, 0, 10, 0, 92}, {3000, 0, 10, 0, 86}},
       {"altitude_limit raised warning"}},
      {"height back 5 % under the warning",
       {{1000}, {1500, 0, 10, 0, 92}, {1500, 0, 10, 0, 84}},
       {"altitude_limit raised warning", "altitude_limit cleared warning"}},
  };
  for (const Case& c : cases) {
    AlertRules rules;
    if (c.limits) rules.SetLimits(Limits(c.cells), 0);
    std::int64_t t = 0;
    EXPECT_EQ(Play(rules, c.segments, &t), c.expected) << c.name;
  }
}

TEST(AlertRules, NoticesAreSaidOnce) {
  AlertRules rules;
  std::int64_t t = 0;
  Play(rules, {{4000}}, &t);
  EXPECT_TRUE(rules.TakeNotices().empty()) << "the parameters may still come";
  Play(rules, {{2000}}, &t);
  EXPECT_EQ(rules.TakeNotices(), std::vector<AlertNotice>{AlertNotice::NoParameters});
  Play(rules, {{10000}}, &t);
  EXPECT_TRUE(rules.TakeNotices().empty());

  rules.SetLimits(AlertLimits{0, 3.6, 0, 100}, t);
  rules.SetLimits(AlertLimits{0, 3.6, 0, 100}, t);
  EXPECT_EQ(rules.TakeNotices(),
            (std::vector<AlertNotice>{AlertNotice::NoCellCount, AlertNotice::NoAltitudeLimit}));
}

TEST(AlertRules, CellCountFallingToZeroClearsTheRaisedAlert) {
  AlertRules rules;
  rules.SetLimits(Limits(kCells), 0);
  std::int64_t t = 0;
  ASSERT_EQ(Play(rules, {{4000, 3.5}}, &t), std::vector<std::string>{"low_voltage raised warning"});
  rules.SetLimits(Limits(0), t);
  EXPECT_EQ(rules.TakeEvents().size(), 1u);
  EXPECT_FALSE(rules.Active(AlertName::LowVoltage, AlertLevel::Warning));
  EXPECT_TRUE(Play(rules, {{5000, 3.5}}, &t).empty());
}

TEST(AlertRules, LinkStaleAndRecorder) {
  AlertRules rules;
  std::vector<std::string> seen;
  const auto take = [&] {
    for (const AlertEvent& e : rules.TakeEvents()) seen.push_back(Describe(e));
  };
  rules.Tick(10000);  // not connected: silence is not staleness
  rules.LinkLost(10000);
  take();
  EXPECT_TRUE(seen.empty());

  rules.Connected(20000);
  rules.Status(StatusReading{}, 20100);
  rules.Tick(22000);  // 1.9 s
  take();
  EXPECT_TRUE(seen.empty());
  rules.Tick(22200);
  rules.Tick(25000);
  rules.Status(StatusReading{}, 25100);
  rules.Status(StatusReading{}, 25200);
  rules.LinkLost(26000);
  rules.LinkLost(26100);  // one loss
  rules.Tick(40000);      // away: not stale
  rules.LinkReturned(41000);
  rules.LinkReturned(41100);
  rules.RecorderFailing(true, 42000);
  rules.RecorderFailing(true, 42100);
  rules.RecorderFailing(false, 43000);
  take();
  EXPECT_EQ(seen, (std::vector<std::string>{"telemetry_stale raised warning",
                                            "telemetry_stale cleared warning", "link_lost raised critical",
                                            "link_back cleared critical", "recording_stopped raised warning",
                                            "recording_stopped cleared warning"}));
}

TEST(AlertText, JsonLineKeyAndTemplate) {
  const AlertEvent low{AlertName::LowVoltage, AlertState::Raised, AlertLevel::Warning, 3.5449, 3.6, 0};
  EXPECT_EQ(
      AlertJson(low, "2026-12-09T00:00:01.000Z"),
      "{\"alert\":\"low_voltage\",\"state\":\"raised\",\"level\":\"warning\",\"value\":3.54,\"limit\":3.60,"
      "\"time\":\"2026-12-09T00:00:01.000Z\"}");
  EXPECT_EQ(AlertLine(low, "T"),
            "T alert low_voltage raised (warning): 3.54 V per cell, limit 3.60 V per cell");
  const AlertEvent lost{AlertName::LinkLost, AlertState::Raised, AlertLevel::Critical, {}, {}, 0};
  EXPECT_NE(AlertJson(lost, "T").find("\"value\":null,\"limit\":null"), std::string::npos);

  const AlertEvent far{AlertName::DistanceLimit, AlertState::Cleared, AlertLevel::Critical, 189.6, 200, 0};
  EXPECT_EQ(AlertTextKey(far), "LID_ALERT_DISTANCE_LIMIT_CRITICAL_CLEARED");
  EXPECT_EQ(
      AlertTextKey(AlertEvent{AlertName::LinkBack, AlertState::Cleared, AlertLevel::Critical, {}, {}, 0}),
      "LID_ALERT_LINK_BACK");
  EXPECT_EQ(FillAlertText("%1 of %2 m, 100%", far), "190 of 200 m, 100%");
  EXPECT_EQ(UtcIso8601(1796774400123), "2026-12-09T00:00:00.123Z");
  for (std::size_t i = 0; i < kAlertNameCount; ++i) {
    const auto name = static_cast<AlertName>(i);
    EXPECT_EQ(FindAlertName(AlertNameText(name)), name);
  }
}

}  // namespace
}  // namespace apdesk::alerts
