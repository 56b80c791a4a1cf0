#pragma once
// One telemetry record as apctl prints it: a line for a person or a JSON
// object, carrying the texts the main window shows (from DecodeStatusSentence).

#include <string>

#include "protocol/StatusSentence.h"
#include "recorder/RecordFile.h"

namespace apdesk::cli {

// The built-in entry of the flight-status list, or nullptr without one.
const char* FlightStatusName(int entry);

std::string TelemetryLine(const TelemetryView& view);
std::string TelemetryJson(const TelemetryView& view);

// The JSON text of a string, quotes included.

}  // namespace apdesk::cli
