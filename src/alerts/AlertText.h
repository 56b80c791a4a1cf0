#pragma once
// How an alert reads: apctl's line and JSON object, the language key of its
// spoken and shown text, and that text with its values filled in.

#include <cstdint>
#include <string>
#include <string_view>

#include "alerts/AlertRules.h"

namespace apdesk::alerts {

// "V per cell", "satellites", "m", "s" or "" (no value).
const char* AlertUnit(AlertName name);
// The value as it is printed and spoken: volts with two decimals, metres and
// satellites whole, seconds with one decimal.
std::string FormatAlertNumber(AlertName name, double value);

// "2026-12-09T00:10:00.250Z" from milliseconds since the Unix epoch.
std::string UtcIso8601(std::int64_t unixMs);

// {"alert":"low_voltage","state":"raised","level":"warning","value":3.55,"limit":3.65,"time":"..."};
// a missing value or limit is null.
std::string AlertJson(const AlertEvent& e, std::string_view time);
// "TIME alert low_voltage raised (warning): 3.55 V per cell, limit 3.65 V per cell"
std::string AlertLine(const AlertEvent& e, std::string_view time);
// The English sentence of a notice, for apctl.
const char* NoticeText(AlertNotice notice);

// "LID_ALERT_LOW_VOLTAGE" when raised (or repeated), "LID_ALERT_LOW_VOLTAGE_CLEARED"
// when cleared; link_back has only "LID_ALERT_LINK_BACK".
std::string AlertTextKey(const AlertEvent& e);
// "LID_ALERT_NOTICE_NO_PARAMETERS", ...
const char* NoticeTextKey(AlertNotice notice);
// The template with "%1" the value and "%2" the limit (as FormatAlertNumber).
std::string FillAlertText(std::string_view templateText, const AlertEvent& e);

}  // namespace apdesk::alerts
