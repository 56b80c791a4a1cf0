#include "alerts/AlertText.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace apdesk::alerts {

const char* AlertUnit(AlertName name) {
  switch (name) {
    case AlertName::LowVoltage:
    case AlertName::CriticalVoltage:
      return "V per cell";
    case AlertName::GpsLost:
      return "satellites";
    case AlertName::DistanceLimit:
    case AlertName::AltitudeLimit:
      return "m";
    case AlertName::LinkBack:
    case AlertName::TelemetryStale:
      return "s";
    case AlertName::LinkLost:
    case AlertName::RecordingStopped:
      break;
  }
  return "";
}

std::string FormatAlertNumber(AlertName name, double value) {
  if (!std::isfinite(value)) return "0";
  char text[64];
  switch (name) {
    case AlertName::LowVoltage:
    case AlertName::CriticalVoltage:
      std::snprintf(text, sizeof text, "%.2f", value);
      break;
    case AlertName::LinkBack:
    case AlertName::TelemetryStale:
      std::snprintf(text, sizeof text, "%.1f", value);
      break;
    default:
      std::snprintf(text, sizeof text, "%.0f", value);
      break;
  }
  return text;
}

std::string UtcIso8601(std::int64_t unixMs) {
  const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(unixMs % 1000));
  return text;
}

namespace {

std::string JsonNumber(AlertName name, const std::optional<double>& v) {
  return v ? FormatAlertNumber(name, *v) : "null";
}

std::string WithUnit(AlertName name, double v) {
  const std::string unit = AlertUnit(name);
  return FormatAlertNumber(name, v) + (unit.empty() ? "" : " " + unit);
}

}  // namespace

std::string AlertJson(const AlertEvent& e, std::string_view time) {
  std::string json = "{\"alert\":\"";
  json += AlertNameText(e.name);
  json += "\",\"state\":\"";
  json += AlertStateText(e.state);
  json += "\",\"level\":\"";
  json += AlertLevelText(e.level);
  json += "\",\"value\":" + JsonNumber(e.name, e.value);
  json += ",\"limit\":" + JsonNumber(e.name, e.limit);
  json += ",\"time\":\"";
  json += time;
  json += "\"}";
  return json;
}

std::string AlertLine(const AlertEvent& e, std::string_view time) {
  std::string line(time);
  line += " alert ";
  line += AlertNameText(e.name);
  line += ' ';
  line += AlertStateText(e.state);
  line += " (";
  line += AlertLevelText(e.level);
  line += ")";
  if (e.value) line += ": " + WithUnit(e.name, *e.value);
  if (e.limit) line += std::string(e.value ? ", " : ": ") + "limit " + WithUnit(e.name, *e.limit);
  return line;
}

const char* NoticeText(AlertNotice notice) {
  switch (notice) {
    case AlertNotice::NoParameters:
      return "the controller's parameters were not read: the voltage, altitude and distance alerts are off";
    case AlertNotice::NoCellCount:
      return "the cell count is 0: the battery voltage alerts are off";
    case AlertNotice::NoAltitudeLimit:
      return "the altitude limit is 0: the altitude alert is off";
    case AlertNotice::NoDistanceLimit:
      break;
  }
  return "the distance limit is 0: the distance alert is off";
}

std::string AlertTextKey(const AlertEvent& e) {
  // Every key written out, so the language files can be checked against them.
  const bool cleared = e.state == AlertState::Cleared;
  const bool critical = e.level == AlertLevel::Critical;
  switch (e.name) {
    case AlertName::LowVoltage:
      return cleared ? "LID_ALERT_LOW_VOLTAGE_CLEARED" : "LID_ALERT_LOW_VOLTAGE";
    case AlertName::CriticalVoltage:
      return cleared ? "LID_ALERT_CRITICAL_VOLTAGE_CLEARED" : "LID_ALERT_CRITICAL_VOLTAGE";
    case AlertName::GpsLost:
      return cleared ? "LID_ALERT_GPS_LOST_CLEARED" : "LID_ALERT_GPS_LOST";
    case AlertName::DistanceLimit:
      if (critical)
        return cleared ? "LID_ALERT_DISTANCE_LIMIT_CRITICAL_CLEARED" : "LID_ALERT_DISTANCE_LIMIT_CRITICAL";
      return cleared ? "LID_ALERT_DISTANCE_LIMIT_WARNING_CLEARED" : "LID_ALERT_DISTANCE_LIMIT_WARNING";
    case AlertName::AltitudeLimit:
      if (critical)
        return cleared ? "LID_ALERT_ALTITUDE_LIMIT_CRITICAL_CLEARED" : "LID_ALERT_ALTITUDE_LIMIT_CRITICAL";
      return cleared ? "LID_ALERT_ALTITUDE_LIMIT_WARNING_CLEARED" : "LID_ALERT_ALTITUDE_LIMIT_WARNING";
    case AlertName::LinkLost:
      return "LID_ALERT_LINK_LOST";
    case AlertName::LinkBack:
      return "LID_ALERT_LINK_BACK";
    case AlertName::TelemetryStale:
      return cleared ? "LID_ALERT_TELEMETRY_STALE_CLEARED" : "LID_ALERT_TELEMETRY_STALE";
    case AlertName::RecordingStopped:
      break;
  }
  return cleared ? "LID_ALERT_RECORDING_STOPPED_CLEARED" : "LID_ALERT_RECORDING_STOPPED";
}

const char* NoticeTextKey(AlertNotice notice) {
  switch (notice) {
    case AlertNotice::NoParameters:
      return "LID_ALERT_NOTICE_NO_PARAMETERS";
    case AlertNotice::NoCellCount:
      return "LID_ALERT_NOTICE_NO_CELLS";
    case AlertNotice::NoAltitudeLimit:
      return "LID_ALERT_NOTICE_NO_ALTITUDE";
    case AlertNotice::NoDistanceLimit:
      break;
  }
  return "LID_ALERT_NOTICE_NO_DISTANCE";
}

std::string FillAlertText(std::string_view templateText, const AlertEvent& e) {
  std::string text;
  for (std::size_t i = 0; i < templateText.size(); ++i) {
    if (templateText[i] == '%' && i + 1 < templateText.size() &&
        (templateText[i + 1] == '1' || templateText[i + 1] == '2')) {
      const std::optional<double>& v = templateText[i + 1] == '1' ? e.value : e.limit;
      if (v) text += FormatAlertNumber(e.name, *v);
      ++i;
      continue;
    }
    text += templateText[i];
  }
  return text;
}

}  // namespace apdesk::alerts
