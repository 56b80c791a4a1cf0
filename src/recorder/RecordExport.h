#pragma once
// Exports of flight records: CSV, JSON Lines, GPX and KML. Numbers are
// formatted only for the fields that are printed, and files are streamed.

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "recorder/RecordRead.h"

namespace apdesk {

// A JSON string literal of the text: quotes, backslashes and control bytes
// escaped, bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);

enum class ExportFormat { Csv, Jsonl, Gpx, Kml };
std::optional<ExportFormat> ParseExportFormat(std::string_view name);
// "csv", "jsonl", "gpx", "kml": also the extension of an exported file.
const char* ExportFormatName(ExportFormat format);

// CSV: a header and one row per good record; JSON Lines: one object per good
// record with the same names. Each row begins with `sourceName`, the record
// file it came from, so the exports of many files form one data set.
// GPX 1.1 and KML: the records with a GPS fix, as a track named sourceName,
// each point with its time (KML: a gx:Track of the fixes with a valid time).
std::string ExportRecords(const RecordScan& scan, ExportFormat format, std::string_view sourceName);

struct ExportCounts {
  std::size_t records = 0;   // sound records read
  std::size_t exported = 0;  // rows or track points written
  std::size_t skipped = 0;
  std::size_t trailingBytes = 0;
};

// Streams the export of a file to `out`. False, with the reason, when the
// file cannot be opened or read (what was written so far stays written) or
// `out` fails.
bool ExportRecordFile(const std::string& path, ExportFormat format, std::string_view sourceName,
                      std::ostream& out, ExportCounts* counts, std::string* error);

// Escapes &, <, >, " and ' for XML text and attributes; bytes that are not
// UTF-8 and control characters XML cannot hold become U+FFFD.
std::string XmlEscape(std::string_view text);
}  // namespace apdesk
