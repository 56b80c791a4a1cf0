#pragma once
// The summary of a flight record (`record info`, the flight-record window).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/StatusSentence.h"
#include "recorder/RecordRead.h"
#include "recorder/TrackDistance.h"

namespace apdesk {

struct RecordInfo {
  std::size_t records = 0;
  std::size_t skipped = 0;
  std::size_t trailingBytes = 0;
  std::size_t fileBytes = 0;
  std::optional<long long> firstUtc, lastUtc;  // of the records with a valid date
  std::size_t fixes = 0;                       // records with a GPS fix
  std::string firstLatitude, firstLongitude;   // as the main window shows them
  std::string lastLatitude, lastLongitude;
  std::optional<double> highestAltitude;  // shown units (altitude / 10)
  std::string highestAltitudeText;
  std::optional<double> lowestVolts, highestVolts;
  std::string lowestVoltsText, highestVoltsText;
  double distanceMetres = 0;  // along the fixes, GPS noise left out (TrackDistance)
};

// The one summary of a flight, record by record: `record info` and the
// flight-record window both show what it works out.
class FlightSummariser {
 public:
  void Add(const std::uint8_t* record);
  void Add(const StatusFields& fields, const std::optional<long long>& utcSeconds);
  RecordInfo Finish(std::size_t skipped, std::size_t trailingBytes, std::size_t fileBytes) const;

 private:
  RecordInfo m_info;
  float m_firstLatitude = 0, m_firstLongitude = 0, m_lastLatitude = 0, m_lastLongitude = 0;
  int m_highestTenths = 0, m_lowestRaw = 0, m_highestRaw = 0;
  TrackDistance m_distance;
  std::uint8_t m_timeBytes[6] = {};  // the date bytes m_seconds was worked out from
  bool m_timeValid = false;
  std::optional<long long> m_seconds;
};

RecordInfo SummariseRecords(const RecordScan& scan);

// True when the file holds at least one sound record; otherwise false with
// "PATH is empty..." or "PATH is not a flight record...".
bool HoldsFlightRecord(const std::string& path, std::string* error);

// The same as SummariseRecords in one streaming pass over a file; false, with
// the reason, when it cannot be opened or read.
bool SummariseRecordFile(const std::string& path, RecordInfo* info, std::string* error);

// The summary for a person, one "name: value" line each.
std::string FormatRecordInfo(const RecordInfo& info, std::string_view fileName);
// The same as one JSON object (no trailing newline).
std::string RecordInfoJson(const RecordInfo& info, std::string_view fileName);

}  // namespace apdesk
