#pragma once
// Reading flight-record files (".hj": 99-byte "$STP" records back to back)
// and what the record tools make of them: a summary and CSV, GPX and KML.
// A damaged record or a cut-off tail is skipped and counted, never fatal.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recorder/SaveData.h"

namespace apdesk {

using RecordBytes = std::array<std::uint8_t, kRecordSize>;

struct RecordScan {
  std::vector<RecordBytes> records;  // the good ones, in file order
  std::size_t skipped = 0;        // damaged records: each run of bad bytes between sound ones, per 99 bytes
  std::size_t trailingBytes = 0;  // bytes after the last sound record that do not make a whole one
  std::size_t fileBytes = 0;
};

// A JSON string literal of the text: quotes, backslashes and control bytes
// escaped, bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);

// Finds the sound records ("$STP", right sum) in a file's bytes, in order,
// picking up again after damage that shifted the rest.
RecordScan ScanRecords(const std::uint8_t* data, std::size_t size);

// Larger than any flight (some 60 hours at 50 records a second): not a record.
inline constexpr std::size_t kMaxRecordFileBytes = std::size_t{1} << 30;

// Reads and scans a file. False, with a message naming the file, when it
// cannot be read, is no regular file or is larger than kMaxRecordFileBytes.
bool ReadRecordFile(const std::string& path, RecordScan* scan, std::string* error);

// A record has a GPS fix when at least 3 satellites are used and it carries a
// finite position on the globe other than 0,0 (what receivers report without one).
bool HasGpsFix(const std::uint8_t* record);

// The record's GPS date and time as seconds since 1970 (UTC); nothing when
// the six bytes do not make a valid date and time.
std::optional<long long> RecordUtcSeconds(const std::uint8_t* record);

// "2014-03-05T09:30:07Z"
std::string FormatUtc(long long seconds);

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
};

RecordInfo SummariseRecords(const RecordScan& scan);

// The summary for a person, one "name: value" line each.
std::string FormatRecordInfo(const RecordInfo& info, std::string_view fileName);
// The same as one JSON object (no trailing newline).
std::string RecordInfoJson(const RecordInfo& info, std::string_view fileName);

enum class ExportFormat { Csv, Gpx, Kml };
std::optional<ExportFormat> ParseExportFormat(std::string_view name);

// The whole export as text. CSV: a header and one row per good record.
// GPX 1.1 and KML: the records with a GPS fix, as a track named trackName.
std::string ExportRecords(const RecordScan& scan, ExportFormat format, std::string_view trackName);

// Escapes &, <, >, " and ' for XML text and attributes; bytes that are not
// UTF-8 and control characters XML cannot hold become U+FFFD.
std::string XmlEscape(std::string_view text);

}  // namespace apdesk
