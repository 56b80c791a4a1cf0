#pragma once
// Alerts from the controller's own limits: what the operator must hear about
// while watching the aircraft. Fed by the one receive path (every good
// "$STP", the parameters once read, the link going and returning, the
// recorder failing) with a steady clock in milliseconds; each real event is
// raised once and cleared once.
//
// Holding times make a dip, a single bad reading or noise around a limit
// raise nothing; the clearing points lie beyond the raising points for the
// same reason. A voltage of 0 or below is the controller having no reading,
// not an empty battery.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "protocol/ParameterTable.h"
#include "protocol/StatusSentence.h"

namespace apdesk::alerts {

enum class AlertName : std::uint8_t {
  LowVoltage,
  CriticalVoltage,
  GpsLost,
  DistanceLimit,
  AltitudeLimit,
  LinkLost,
  LinkBack,  // the clearing of link_lost
  TelemetryStale,
  RecordingStopped,
};
inline constexpr std::size_t kAlertNameCount = 9;

// "low_voltage", "critical_voltage", ...: the names apctl prints and the
// settings file keeps.
const char* AlertNameText(AlertName name);
std::optional<AlertName> FindAlertName(std::string_view text);

enum class AlertLevel : std::uint8_t { Warning, Critical };
const char* AlertLevelText(AlertLevel level);  // "warning", "critical"

// Repeated: a critical alert that still holds, to be spoken again; it is
// neither listed nor printed again.
enum class AlertState : std::uint8_t { Raised, Cleared, Repeated };
const char* AlertStateText(AlertState state);  // "raised", "cleared", "repeated"

struct AlertEvent {
  AlertName name = AlertName::LowVoltage;
  AlertState state = AlertState::Raised;
  AlertLevel level = AlertLevel::Warning;
  std::optional<double> value;  // in the unit of AlertUnit(name)
  std::optional<double> limit;
  std::int64_t atMs = 0;
  bool operator==(const AlertEvent&) const = default;
};

// What the operator is told once because a rule cannot run.
enum class AlertNotice : std::uint8_t {
  NoParameters,     // the limit rules stay off until the parameters are read
  NoCellCount,      // cell count 0: no voltage per cell
  NoAltitudeLimit,  // altitude limit 0
  NoDistanceLimit,  // distance limit 0
};

// The operator's limits as the controller holds them.
struct AlertLimits {
  int cellCount = 0;
  double cellAlertVolts = 0;  // voltage-alert threshold per cell
  int altitudeLimitM = 0;
  int distanceLimitM = 0;
  bool operator==(const AlertLimits&) const = default;
};
AlertLimits LimitsFromParameters(const Parameters& p);

// What the rules read from one good "$STP".
struct StatusReading {
  double volts = 0;
  int satellites = 0;
  double latitude = 0, longitude = 0;  // degrees; both 0: no position
  double altitudeM = 0;
};
StatusReading ReadingFromFields(const StatusFields& fields);

// Metres between two positions (degrees), near enough for a few kilometres.
double GroundDistanceM(double lat1, double lon1, double lat2, double lon2);

class AlertRules {
 public:
  static constexpr std::int64_t kVoltageHoldMs = 3000;
  static constexpr double kVoltageClearMargin = 0.05;  // V per cell above the raising point
  static constexpr double kCriticalBelow = 0.2;        // V per cell under the threshold
  static constexpr std::int64_t kCriticalRepeatMs = 30000;
  static constexpr int kMinSatellites = 6;
  static constexpr std::int64_t kGpsHoldMs = 3000;
  static constexpr double kLimitWarningShare = 0.90;
  static constexpr double kLimitClearShare = 0.05;  // below the raising point
  static constexpr std::int64_t kLimitHoldMs = 1000;
  static constexpr std::int64_t kStaleMs = 2000;
  // Readings further apart than this do not make one holding condition.
  static constexpr std::int64_t kMaxReadingGapMs = 2000;
  // Telemetry for this long without parameters: said once that the limit
  // rules are off (the parameters usually follow the first records).
  static constexpr std::int64_t kParameterGraceMs = 5000;

  // A connection was opened: from now on records are expected.
  void Connected(std::int64_t nowMs);
  // The operator closed it: nothing is expected and nothing is alerted.
  void Disconnected(std::int64_t nowMs);
  void LinkLost(std::int64_t nowMs);
  void LinkReturned(std::int64_t nowMs);
  void SetLimits(const AlertLimits& limits, std::int64_t nowMs);
  // The parameters were asked for and did not come: said now, not after the grace.
  void ParametersUnavailable() {
    if (!m_limits) Notice(AlertNotice::NoParameters);
  }
  void Status(const StatusReading& reading, std::int64_t nowMs);
  void RecorderFailing(bool failing, std::int64_t nowMs);
  // Time passing without input: staleness and repeats.
  void Tick(std::int64_t nowMs);

  // What happened since the last call, in order.
  std::vector<AlertEvent> TakeEvents();
  std::vector<AlertNotice> TakeNotices();
  bool Active(AlertName name, AlertLevel level) const;

 private:
  // A condition that has held over readings for a time.
  class Hold {
   public:
    bool Held(bool condition, std::int64_t nowMs, std::int64_t holdMs);
    void Reset() { m_since.reset(); }

   private:
    std::optional<std::int64_t> m_since;
    std::int64_t m_last = 0;
  };
  // One alert with a level: raised after `raise` held, cleared after `clear` held.
  struct Rule {
    bool active = false;
    Hold raise, clear;
    std::int64_t spokenAtMs = 0;
  };
  void Step(Rule& rule, AlertName name, AlertLevel level, bool raiseNow, bool clearNow, std::int64_t holdMs,
            std::int64_t clearHoldMs, double value, double limit, std::int64_t nowMs);
  void Emit(AlertName name, AlertState state, AlertLevel level, std::optional<double> value,
            std::optional<double> limit, std::int64_t nowMs);
  void Notice(AlertNotice notice);
  void Drop(Rule& rule, AlertName name, AlertLevel level, std::int64_t nowMs);
  void VoltageRules(double volts, std::int64_t nowMs);
  void PositionRules(const StatusReading& r, std::int64_t nowMs);

  std::vector<AlertEvent> m_events;
  std::vector<AlertNotice> m_notices;
  std::array<bool, 4> m_told{};

  std::optional<AlertLimits> m_limits;
  std::optional<std::int64_t> m_firstStatusMs;
  Rule m_low, m_critical, m_gps, m_distWarn, m_distCrit, m_altWarn, m_altCrit;
  double m_lastCellVolts = 0, m_lastDistance = 0, m_lastHeight = 0;
  int m_lastSatellites = 0;
  bool m_haveHome = false;
  double m_homeLat = 0, m_homeLon = 0, m_homeAlt = 0;

  bool m_connected = false;
  bool m_lost = false;
  std::int64_t m_lostAtMs = 0;
  std::int64_t m_lastGoodMs = 0;
  bool m_stale = false;
  bool m_recording = false;  // recording_stopped raised
};

}  // namespace apdesk::alerts
