#pragma once
// Reading flight-record files (".hj": 99-byte "$STP" records back to back)
// and what the record tools make of them: a summary and CSV, JSON Lines, GPX
// and KML. A damaged record or a cut-off tail is skipped and counted, never
// fatal. Files are read in one streaming pass with a fixed buffer, so memory
// stays the same whatever a file's size, and numbers are formatted only for
// the fields that are printed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/StatusSentence.h"
#include "recorder/SaveData.h"
#include "recorder/TrackDistance.h"

namespace apdesk {

using RecordBytes = std::array<std::uint8_t, kRecordSize>;

struct RecordScan {
  std::vector<RecordBytes> records;  // the good ones, in file order
  std::size_t skipped = 0;        // damaged records: each run of bad bytes between sound ones, per 99 bytes
  std::size_t trailingBytes = 0;  // bytes after the last sound record that do not make a whole one
  std::size_t fileBytes = 0;
};

// Hands out a record file's sound records ("$STP", right sum) in order,
// picking up again after damage that shifted the rest, through a buffer of
// fixed size. Damaged bytes between sound records count as at least one
// damaged record each 99 bytes; those after the last one that do not make a
// whole record are the tail.
class RecordReader {
 public:
  RecordReader();
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // False, with a message naming the file, when it cannot be opened or is no
  // regular file (a pipe would wait for its writer, /dev/zero never ends).
  bool Open(const std::string& path, std::string* error);
  // Reads bytes already in memory; they must outlive the reader.
  void OpenBytes(const std::uint8_t* data, std::size_t size);

  // The next sound record (kRecordSize bytes, valid until the next call), or
  // nullptr at the end of the file or on a read error (ReadFailed).
  const std::uint8_t* Next();

  bool ReadFailed() const { return m_readFailed; }
  std::size_t Records() const { return m_records; }
  std::size_t Skipped() const { return m_skipped; }
  std::size_t TrailingBytes() const { return m_trailingBytes; }
  std::size_t BytesRead() const { return m_offset + m_end; }

 private:
  bool Fill(std::size_t wanted);
  bool SoundAt(std::size_t at) const;
  void Close();

  int m_fd = -1;
  std::vector<std::uint8_t> m_storage;  // the buffer of a file
  const std::uint8_t* m_data = nullptr;
  std::size_t m_offset = 0;  // file offset of m_data[0]
  std::size_t m_pos = 0, m_end = 0;
  bool m_eof = true;
  bool m_readFailed = false;
  bool m_inGap = false;
  std::size_t m_gapStart = 0;  // file offset where the damage began
  std::size_t m_records = 0, m_skipped = 0, m_trailingBytes = 0;
};

// A JSON string literal of the text: quotes, backslashes and control bytes
// escaped, bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);

// Finds the sound records ("$STP", right sum) in a file's bytes, in order,
// picking up again after damage that shifted the rest.
RecordScan ScanRecords(const std::uint8_t* data, std::size_t size);

// Larger than any flight (some 60 hours at 50 records a second): not a record.
inline constexpr std::size_t kMaxRecordFileBytes = std::size_t{1} << 30;

// Reads and scans a whole file into memory (for small files and tests; the
// tools stream instead). False, with a message naming the file, when it
// cannot be read, is no regular file or is larger than kMaxRecordFileBytes.
bool ReadRecordFile(const std::string& path, RecordScan* scan, std::string* error);

// A record has a GPS fix when at least 3 satellites are used and it carries a
// finite position on the globe other than 0,0 (what receivers report without one).
bool HasGpsFix(const std::uint8_t* record);
bool HasGpsFix(const StatusFields& fields);

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
  StatusFields m_first, m_last;
  int m_highestTenths = 0, m_lowestRaw = 0, m_highestRaw = 0;
  TrackDistance m_distance;
  std::uint8_t m_timeBytes[6] = {};  // the date bytes m_seconds was worked out from
  bool m_timeValid = false;
  std::optional<long long> m_seconds;
};

RecordInfo SummariseRecords(const RecordScan& scan);
// The same in one streaming pass over a file; false, with the reason, when it
// cannot be opened or read.
// True when the file holds at least one sound record; otherwise false with
// "PATH is empty..." or "PATH is not a flight record...".
bool HoldsFlightRecord(const std::string& path, std::string* error);

bool SummariseRecordFile(const std::string& path, RecordInfo* info, std::string* error);

// The summary for a person, one "name: value" line each.
std::string FormatRecordInfo(const RecordInfo& info, std::string_view fileName);
// The same as one JSON object (no trailing newline).
std::string RecordInfoJson(const RecordInfo& info, std::string_view fileName);

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
