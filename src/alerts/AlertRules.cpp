#include "alerts/AlertRules.h"

#include <cmath>

namespace apdesk::alerts {

namespace {

constexpr const char* kNames[kAlertNameCount] = {
    "low_voltage", "critical_voltage", "gps_lost",        "distance_limit",    "altitude_limit",
    "link_lost",   "link_back",        "telemetry_stale", "recording_stopped",
};

// The voltage-alert choices: 3.55, 3.60, 3.65, 3.70 V per cell.
double ThresholdOfCode(int code) {
  return 3.55 + 0.05 * (code & 3);
}

}  // namespace

const char* AlertNameText(AlertName name) {
  return kNames[static_cast<std::size_t>(name)];
}

std::optional<AlertName> FindAlertName(std::string_view text) {
  for (std::size_t i = 0; i < kAlertNameCount; ++i)
    if (text == kNames[i]) return static_cast<AlertName>(i);
  return std::nullopt;
}

const char* AlertLevelText(AlertLevel level) {
  return level == AlertLevel::Critical ? "critical" : "warning";
}

const char* AlertStateText(AlertState state) {
  switch (state) {
    case AlertState::Raised:
      return "raised";
    case AlertState::Cleared:
      return "cleared";
    case AlertState::Repeated:
      break;
  }
  return "repeated";
}

AlertLimits LimitsFromParameters(const Parameters& p) {
  AlertLimits limits;
  limits.cellCount = p.Code(ParameterId::CellCount);
  limits.cellAlertVolts = ThresholdOfCode(p.Code(ParameterId::VoltAlert));
  limits.altitudeLimitM = p.Code(ParameterId::AltitudeLimit) * FactsOf(ParameterId::AltitudeLimit).scale;
  limits.distanceLimitM = p.Code(ParameterId::DistanceLimit) * FactsOf(ParameterId::DistanceLimit).scale;
  return limits;
}

StatusReading ReadingFromFields(const StatusFields& f) {
  StatusReading r;
  r.volts = f.Volts();
  r.satellites = f.satellites;
  r.latitude = f.latitude;
  r.longitude = f.longitude;
  r.altitudeM = f.AltitudeShown();
  return r;
}

double GroundDistanceM(double lat1, double lon1, double lat2, double lon2) {
  constexpr double kPi = 3.14159265358979323846;
  constexpr double kEarthRadiusM = 6371000.0;
  const double toRad = kPi / 180.0;
  const double x = (lon2 - lon1) * toRad * std::cos((lat1 + lat2) / 2 * toRad);
  const double y = (lat2 - lat1) * toRad;
  return std::sqrt(x * x + y * y) * kEarthRadiusM;
}

bool AlertRules::Hold::Held(bool condition, std::int64_t nowMs, std::int64_t holdMs) {
  if (!condition) {
    m_since.reset();
    return false;
  }
  if (!m_since || nowMs - m_last > kMaxReadingGapMs) m_since = nowMs;
  m_last = nowMs;
  return nowMs - *m_since >= holdMs;
}

void AlertRules::Emit(AlertName name, AlertState state, AlertLevel level, std::optional<double> value,
                      std::optional<double> limit, std::int64_t nowMs) {
  m_events.push_back(AlertEvent{name, state, level, value, limit, nowMs});
}

void AlertRules::Notice(AlertNotice notice) {
  bool& told = m_told[static_cast<std::size_t>(notice)];
  if (told) return;
  told = true;
  m_notices.push_back(notice);
}

void AlertRules::Step(Rule& rule, AlertName name, AlertLevel level, bool raiseNow, bool clearNow,
                      std::int64_t holdMs, std::int64_t clearHoldMs, double value, double limit,
                      std::int64_t nowMs) {
  if (!rule.active) {
    rule.clear.Reset();
    if (rule.raise.Held(raiseNow, nowMs, holdMs)) {
      rule.active = true;
      rule.spokenAtMs = nowMs;
      rule.raise.Reset();
      Emit(name, AlertState::Raised, level, value, limit, nowMs);
    }
    return;
  }
  rule.raise.Reset();
  if (rule.clear.Held(clearNow, nowMs, clearHoldMs)) {
    rule.active = false;
    rule.clear.Reset();
    Emit(name, AlertState::Cleared, level, value, limit, nowMs);
  }
}

// A rule that can no longer run is cleared, so nothing stays raised for ever.
void AlertRules::Drop(Rule& rule, AlertName name, AlertLevel level, std::int64_t nowMs) {
  rule.raise.Reset();
  rule.clear.Reset();
  if (!rule.active) return;
  rule.active = false;
  Emit(name, AlertState::Cleared, level, std::nullopt, std::nullopt, nowMs);
}

void AlertRules::Connected(std::int64_t nowMs) {
  m_connected = true;
  m_lost = false;
  m_lastGoodMs = nowMs;
  m_stale = false;
}

void AlertRules::Disconnected(std::int64_t) {
  m_connected = false;
  m_lost = false;
  m_stale = false;
}

void AlertRules::LinkLost(std::int64_t nowMs) {
  if (!m_connected || m_lost) return;
  m_lost = true;
  m_lostAtMs = nowMs;
  Emit(AlertName::LinkLost, AlertState::Raised, AlertLevel::Critical, std::nullopt, std::nullopt, nowMs);
}

void AlertRules::LinkReturned(std::int64_t nowMs) {
  if (!m_lost) return;
  m_lost = false;
  m_lastGoodMs = nowMs;
  Emit(AlertName::LinkBack, AlertState::Cleared, AlertLevel::Critical, (nowMs - m_lostAtMs) / 1000.0,
       std::nullopt, nowMs);
}

void AlertRules::SetLimits(const AlertLimits& limits, std::int64_t nowMs) {
  m_limits = limits;
  if (limits.cellCount <= 0) {
    Notice(AlertNotice::NoCellCount);
    Drop(m_low, AlertName::LowVoltage, AlertLevel::Warning, nowMs);
    Drop(m_critical, AlertName::CriticalVoltage, AlertLevel::Critical, nowMs);
  }
  if (limits.distanceLimitM <= 0) {
    Notice(AlertNotice::NoDistanceLimit);
    Drop(m_distWarn, AlertName::DistanceLimit, AlertLevel::Warning, nowMs);
    Drop(m_distCrit, AlertName::DistanceLimit, AlertLevel::Critical, nowMs);
  }
  if (limits.altitudeLimitM <= 0) {
    Notice(AlertNotice::NoAltitudeLimit);
    Drop(m_altWarn, AlertName::AltitudeLimit, AlertLevel::Warning, nowMs);
    Drop(m_altCrit, AlertName::AltitudeLimit, AlertLevel::Critical, nowMs);
  }
}

void AlertRules::VoltageRules(double volts, std::int64_t nowMs) {
  if (!m_limits || m_limits->cellCount <= 0 || volts <= 0) return;  // no reading, or no rule
  const double perCell = volts / m_limits->cellCount;
  m_lastCellVolts = perCell;
  const double low = m_limits->cellAlertVolts;
  const double critical = low - kCriticalBelow;
  Step(m_low, AlertName::LowVoltage, AlertLevel::Warning, perCell < low, perCell >= low + kVoltageClearMargin,
       kVoltageHoldMs, kVoltageHoldMs, perCell, low, nowMs);
  Step(m_critical, AlertName::CriticalVoltage, AlertLevel::Critical, perCell < critical,
       perCell >= critical + kVoltageClearMargin, kVoltageHoldMs, kVoltageHoldMs, perCell, critical, nowMs);
}

void AlertRules::PositionRules(const StatusReading& r, std::int64_t nowMs) {
  const bool position = !(r.latitude == 0 && r.longitude == 0) && std::isfinite(r.latitude) &&
                        std::isfinite(r.longitude) && std::isfinite(r.altitudeM);
  const bool fix = position && r.satellites >= kMinSatellites;
  m_lastSatellites = r.satellites;
  if (fix && !m_haveHome) {
    m_haveHome = true;
    m_homeLat = r.latitude;
    m_homeLon = r.longitude;
    m_homeAlt = r.altitudeM;
  }
  if (m_haveHome)
    Step(m_gps, AlertName::GpsLost, AlertLevel::Warning, !fix, fix, kGpsHoldMs, kGpsHoldMs, r.satellites,
         kMinSatellites, nowMs);
  if (!fix || !m_limits) return;

  // Warning at 90 %, critical at 100 %; each cleared 5 % of the limit below
  // where it was raised.
  const auto limitRules = [&](Rule& warn, Rule& crit, AlertName name, double value, int limitM) {
    if (limitM <= 0) return;
    const double limit = limitM;
    Step(warn, name, AlertLevel::Warning, value >= kLimitWarningShare * limit,
         value < (kLimitWarningShare - kLimitClearShare) * limit, kLimitHoldMs, kLimitHoldMs, value, limit,
         nowMs);
    Step(crit, name, AlertLevel::Critical, value >= limit, value < (1 - kLimitClearShare) * limit,
         kLimitHoldMs, kLimitHoldMs, value, limit, nowMs);
  };
  m_lastDistance = GroundDistanceM(m_homeLat, m_homeLon, r.latitude, r.longitude);
  m_lastHeight = r.altitudeM - m_homeAlt;
  limitRules(m_distWarn, m_distCrit, AlertName::DistanceLimit, m_lastDistance, m_limits->distanceLimitM);
  limitRules(m_altWarn, m_altCrit, AlertName::AltitudeLimit, m_lastHeight, m_limits->altitudeLimitM);
}

void AlertRules::Status(const StatusReading& reading, std::int64_t nowMs) {
  if (!m_firstStatusMs) m_firstStatusMs = nowMs;
  const std::int64_t silentMs = nowMs - m_lastGoodMs;
  m_lastGoodMs = nowMs;
  if (m_stale) {
    m_stale = false;
    Emit(AlertName::TelemetryStale, AlertState::Cleared, AlertLevel::Warning, silentMs / 1000.0,
         kStaleMs / 1000.0, nowMs);
  }
  VoltageRules(reading.volts, nowMs);
  PositionRules(reading, nowMs);
  Tick(nowMs);
}

void AlertRules::RecorderFailing(bool failing, std::int64_t nowMs) {
  if (failing == m_recording) return;
  m_recording = failing;
  Emit(AlertName::RecordingStopped, failing ? AlertState::Raised : AlertState::Cleared, AlertLevel::Warning,
       std::nullopt, std::nullopt, nowMs);
}

void AlertRules::Tick(std::int64_t nowMs) {
  if (!m_limits && m_firstStatusMs && nowMs - *m_firstStatusMs >= kParameterGraceMs)
    Notice(AlertNotice::NoParameters);
  if (m_connected && !m_lost && !m_stale && nowMs - m_lastGoodMs >= kStaleMs) {
    m_stale = true;
    Emit(AlertName::TelemetryStale, AlertState::Raised, AlertLevel::Warning, (nowMs - m_lastGoodMs) / 1000.0,
         kStaleMs / 1000.0, nowMs);
  }
  if (m_critical.active && nowMs - m_critical.spokenAtMs >= kCriticalRepeatMs) {
    m_critical.spokenAtMs = nowMs;
    Emit(AlertName::CriticalVoltage, AlertState::Repeated, AlertLevel::Critical, m_lastCellVolts,
         m_limits ? m_limits->cellAlertVolts - kCriticalBelow : 0, nowMs);
  }
}

std::vector<AlertEvent> AlertRules::TakeEvents() {
  std::vector<AlertEvent> events;
  events.swap(m_events);
  return events;
}

std::vector<AlertNotice> AlertRules::TakeNotices() {
  std::vector<AlertNotice> notices;
  notices.swap(m_notices);
  return notices;
}

bool AlertRules::Active(AlertName name, AlertLevel level) const {
  const bool critical = level == AlertLevel::Critical;
  switch (name) {
    case AlertName::LowVoltage:
      return m_low.active;
    case AlertName::CriticalVoltage:
      return m_critical.active;
    case AlertName::GpsLost:
      return m_gps.active;
    case AlertName::DistanceLimit:
      return critical ? m_distCrit.active : m_distWarn.active;
    case AlertName::AltitudeLimit:
      return critical ? m_altCrit.active : m_altWarn.active;
    case AlertName::LinkLost:
      return m_lost;
    case AlertName::LinkBack:
      return false;
    case AlertName::TelemetryStale:
      return m_stale;
    case AlertName::RecordingStopped:
      return m_recording;
  }
  return false;
}

}  // namespace apdesk::alerts
