#include "recorder/RecordSummary.h"

#include <cstring>

#include "protocol/NumberText.h"
#include "protocol/StatusSentence.h"
#include "recorder/RecordExport.h"

namespace apdesk {

// The summary kept as numbers; the few texts are made at the end.
void FlightSummariser::Add(const std::uint8_t* r) {
  // The UTC second, worked out again only when the date bytes change.
  if (!m_timeValid || std::memcmp(m_timeBytes, r + 25, sizeof m_timeBytes) != 0) {
    std::memcpy(m_timeBytes, r + 25, sizeof m_timeBytes);
    m_timeValid = true;
    m_seconds = RecordUtcSeconds(r);
  }
  Add(ReadStatusFields(r), m_seconds);
}

void FlightSummariser::Add(const StatusFields& f, const std::optional<long long>& utc) {
  ++m_info.records;
  if (utc) {
    if (!m_info.firstUtc) m_info.firstUtc = utc;
    m_info.lastUtc = utc;
  }
  if (HasGpsFix(f)) {
    if (m_info.fixes++ == 0) {
      m_firstLatitude = f.latitude;
      m_firstLongitude = f.longitude;
    }
    m_lastLatitude = f.latitude;
    m_lastLongitude = f.longitude;
    m_distance.Add(f.latitude, f.longitude);
  }
  if (m_info.records == 1 || f.altitudeTenths > m_highestTenths) m_highestTenths = f.altitudeTenths;
  if (m_info.records == 1 || f.voltageRaw < m_lowestRaw) m_lowestRaw = f.voltageRaw;
  if (m_info.records == 1 || f.voltageRaw > m_highestRaw) m_highestRaw = f.voltageRaw;
}

RecordInfo FlightSummariser::Finish(std::size_t skipped, std::size_t trailingBytes,
                                    std::size_t fileBytes) const {
  RecordInfo info = m_info;
  info.skipped = skipped;
  info.trailingBytes = trailingBytes;
  info.fileBytes = fileBytes;
  info.distanceMetres = m_distance.Metres();
  if (info.fixes > 0) {
    info.firstLatitude = FormatText("%.6lf", static_cast<double>(m_firstLatitude));
    info.firstLongitude = FormatText("%.6lf", static_cast<double>(m_firstLongitude));
    info.lastLatitude = FormatText("%.6lf", static_cast<double>(m_lastLatitude));
    info.lastLongitude = FormatText("%.6lf", static_cast<double>(m_lastLongitude));
  }
  if (info.records > 0) {
    StatusFields f;
    f.altitudeTenths = m_highestTenths;
    info.highestAltitude = f.AltitudeShown();
    info.highestAltitudeText = FormatText("%.1lf", f.AltitudeShown());
    f.voltageRaw = m_lowestRaw;
    info.lowestVolts = f.Volts();
    info.lowestVoltsText = FormatText("%.3lf", f.Volts());
    f.voltageRaw = m_highestRaw;
    info.highestVolts = f.Volts();
    info.highestVoltsText = FormatText("%.3lf", f.Volts());
  }
  return info;
}
RecordInfo SummariseRecords(const RecordScan& scan) {
  FlightSummariser s;
  for (const RecordBytes& r : scan.records) s.Add(r.data());
  return s.Finish(scan.skipped, scan.trailingBytes, scan.fileBytes);
}

// A file without one sound record is no flight record: a summary or an
// export of it would look like an empty flight.
static bool NoFlightRecord(const std::string& path, std::size_t bytes, std::string* error) {
  *error = bytes == 0 ? path + " is empty: it holds no flight records"
                      : path + " is not a flight record: none of its " + std::to_string(bytes) +
                            " bytes make a sound record";
  return false;
}

bool SummariseRecordFile(const std::string& path, RecordInfo* info, std::string* error) {
  RecordReader reader;
  if (!reader.Open(path, error)) return false;
  FlightSummariser s;
  while (const std::uint8_t* r = reader.Next()) s.Add(r);
  if (reader.ReadFailed()) {
    *error = path + ": read error";
    return false;
  }
  if (reader.Records() == 0) return NoFlightRecord(path, reader.BytesRead(), error);
  *info = s.Finish(reader.Skipped(), reader.TrailingBytes(), reader.BytesRead());
  return true;
}

bool HoldsFlightRecord(const std::string& path, std::string* error) {
  RecordReader reader;
  if (!reader.Open(path, error)) return false;
  if (reader.Next() != nullptr) return true;
  if (reader.ReadFailed()) {
    *error = path + ": read error";
    return false;
  }
  return NoFlightRecord(path, reader.BytesRead(), error);
}

std::string FormatRecordInfo(const RecordInfo& info, std::string_view fileName) {
  std::string out = "file: " + std::string(fileName) + "\n";
  out += FormatText("bytes: %zu\n", info.fileBytes);
  out += FormatText("records: %zu\n", info.records);
  out += FormatText("skipped records: %zu\n", info.skipped);
  out += FormatText("trailing bytes: %zu\n", info.trailingBytes);
  if (info.firstUtc && info.lastUtc) {
    out += "time: " + FormatUtc(*info.firstUtc) + " to " + FormatUtc(*info.lastUtc) +
           FormatText(" (%lld s)\n", *info.lastUtc - *info.firstUtc);
  } else {
    out += "time: none (no record has a valid GPS date)\n";
  }
  if (info.fixes > 0) {
    out += FormatText("records with a GPS fix: %zu\n", info.fixes);
    out += "first position: " + info.firstLatitude + ", " + info.firstLongitude + "\n";
    out += "last position: " + info.lastLatitude + ", " + info.lastLongitude + "\n";
  } else {
    out += "position: none (no record has a GPS fix)\n";
  }
  if (info.fixes > 0) out += FormatText("distance: %.0lf m\n", info.distanceMetres);
  if (info.highestAltitude) out += "highest altitude: " + info.highestAltitudeText + "\n";
  if (info.lowestVolts) out += "voltage: " + info.lowestVoltsText + " to " + info.highestVoltsText + " V\n";
  return out;
}

std::string RecordInfoJson(const RecordInfo& info, std::string_view fileName) {
  auto text = [](const std::string& s, bool have) { return have ? JsonString(s) : std::string("null"); };
  std::string out = "{\"file\":" + JsonString(fileName);
  out += FormatText(",\"bytes\":%zu,\"records\":%zu,\"skipped\":%zu,\"trailing_bytes\":%zu", info.fileBytes,
                    info.records, info.skipped, info.trailingBytes);
  const bool haveTime = info.firstUtc && info.lastUtc;
  out += ",\"first_time\":" + text(haveTime ? FormatUtc(*info.firstUtc) : "", haveTime);
  out += ",\"last_time\":" + text(haveTime ? FormatUtc(*info.lastUtc) : "", haveTime);
  out +=
      ",\"seconds\":" + (haveTime ? FormatText("%lld", *info.lastUtc - *info.firstUtc) : std::string("null"));
  out += FormatText(",\"fixes\":%zu", info.fixes);
  const bool fix = info.fixes > 0;
  out += ",\"first_latitude\":" + text(info.firstLatitude, fix);
  out += ",\"first_longitude\":" + text(info.firstLongitude, fix);
  out += ",\"last_latitude\":" + text(info.lastLatitude, fix);
  out += ",\"last_longitude\":" + text(info.lastLongitude, fix);
  out += ",\"distance_m\":" + (fix ? FormatText("%.1lf", info.distanceMetres) : std::string("null"));
  out += ",\"highest_altitude\":" + text(info.highestAltitudeText, info.highestAltitude.has_value());
  out += ",\"lowest_voltage\":" + text(info.lowestVoltsText, info.lowestVolts.has_value());
  out += ",\"highest_voltage\":" + text(info.highestVoltsText, info.highestVolts.has_value());
  return out + "}";
}

}  // namespace apdesk
