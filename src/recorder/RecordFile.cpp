#include "recorder/RecordFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <sys/stat.h>

#include "protocol/StatusSentence.h"

namespace apdesk {

namespace {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

TelemetryView View(const RecordBytes& r) {
  return DecodeStatusSentence(r.data(), AttitudeLabels{}, false);
}

std::string CsvRow(std::size_t index, const RecordBytes& r) {
  const TelemetryView v = View(r);
  const StatusFields& f = v.fields;
  const std::optional<long long> utc = RecordUtcSeconds(r.data());
  std::string row = FormatText("%zu", index);
  auto add = [&row](const std::string& field) { row += "," + CsvField(field); };
  add(utc ? FormatUtc(*utc) : std::string());
  add(v.latitudeText);
  add(v.longitudeText);
  add(v.altitudeText);
  add(v.courseText);
  add(v.voltageText);
  add(v.versionText);
  add(v.attitudeText);
  add(v.satellitesText);
  add(FormatText("%d", f.flightStatus));
  for (int ch : {kRudder, kAileron, kElevator, kThrottle}) {
    add(FormatText("%d", v.sticks[ch].value));
    add(StickColourName(v.sticks[ch].argb));
  }
  add(FormatText("%.1lf", f.Pdop()));
  add(FormatText("%d", f.velocityX));
  add(FormatText("%d", f.velocityY));
  add(f.Captured() ? "1" : "0");
  add(HasGpsFix(r.data()) ? "1" : "0");
  return row + "\n";
}

constexpr const char* kCsvHeader =
    "record,utc_time,latitude,longitude,altitude,course,voltage,version,attitude,satellites,"
    "flight_status,rudder,rudder_colour,aileron,aileron_colour,elevator,elevator_colour,"
    "throttle,throttle_colour,pdop,velocity_x_cm_s,velocity_y_cm_s,install_error_captured,gps_fix\n";

std::string Gpx(const RecordScan& scan, std::string_view name) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"apdesk\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
      "  <trk>\n    <name>" +
      XmlEscape(name) + "</name>\n    <trkseg>\n";
  for (const RecordBytes& r : scan.records) {
    if (!HasGpsFix(r.data())) continue;
    const TelemetryView v = View(r);
    out += "      <trkpt lat=\"" + v.latitudeText + "\" lon=\"" + v.longitudeText + "\"><ele>" +
           v.altitudeText + "</ele>";
    if (const auto utc = RecordUtcSeconds(r.data())) out += "<time>" + FormatUtc(*utc) + "</time>";
    out += "</trkpt>\n";
  }
  return out + "    </trkseg>\n  </trk>\n</gpx>\n";
}

std::string Kml(const RecordScan& scan, std::string_view name) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
      "  <Document>\n    <name>" +
      XmlEscape(name) + "</name>\n    <Placemark>\n      <name>" + XmlEscape(name) +
      "</name>\n      <LineString>\n        <altitudeMode>absolute</altitudeMode>\n        <coordinates>\n";
  for (const RecordBytes& r : scan.records) {
    if (!HasGpsFix(r.data())) continue;
    const TelemetryView v = View(r);
    out += "          " + v.longitudeText + "," + v.latitudeText + "," + v.altitudeText + "\n";
  }
  return out + "        </coordinates>\n      </LineString>\n    </Placemark>\n  </Document>\n</kml>\n";
}

// The text as valid UTF-8: each byte that does not start a well-formed
// sequence (a file name in another encoding, stray bytes) becomes U+FFFD, so
// JSON and XML made of it stay valid.
std::string WellFormedUtf8(std::string_view text) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = 0;
    unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    }
    bool ok = n > 0;
    for (std::size_t k = 1; ok && k <= n; ++k) {
      if (i + k >= text.size()) {
        ok = false;
        break;
      }
      const auto d = static_cast<unsigned char>(text[i + k]);
      ok = k == 1 ? (d >= lo && d <= hi) : (d >= 0x80 && d <= 0xBF);
    }
    if (ok) {
      out.append(text.substr(i, n + 1));
      i += n + 1;
    } else {
      out += kReplacement;
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string JsonString(std::string_view raw) {
  const std::string text = WellFormedUtf8(raw);
  std::string out = "\"";
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      out += FormatText("\\u%04x", u);
    } else {
      out += c;
    }
  }
  return out + "\"";
}

RecordScan ScanRecords(const std::uint8_t* data, std::size_t size) {
  RecordScan scan;
  scan.fileBytes = size;
  scan.records.reserve(size / kRecordSize);
  auto soundAt = [&](std::size_t at) {
    return at + kRecordSize <= size && std::memcmp(data + at, "$STP", 4) == 0 &&
           StatusSentenceSumOk(data + at);
  };
  // A cut-off record in the middle (a write the disk refused halfway) shifts
  // all that follows; the scan finds the next sound record instead of losing
  // the rest of the file. Damaged bytes between records count as at least one
  // damaged record each 99 bytes; those after the last one that do not make a
  // whole record are the tail.
  std::size_t at = 0;
  while (at < size) {
    if (soundAt(at)) {
      RecordBytes& kept = scan.records.emplace_back();
      std::memcpy(kept.data(), data + at, kRecordSize);
      at += kRecordSize;
      continue;
    }
    std::size_t next = at + 1;
    while (next < size && !soundAt(next)) {
      const void* dollar = std::memchr(data + next + 1, '$', size - next - 1);
      next = dollar ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(dollar) - data) : size;
    }
    const std::size_t gap = next - at;
    if (next < size) {
      scan.skipped += (gap + kRecordSize - 1) / kRecordSize;
    } else {
      scan.skipped += gap / kRecordSize;
      scan.trailingBytes = gap % kRecordSize;
    }
    at = next;
  }
  return scan;
}

bool ReadRecordFile(const std::string& path, RecordScan* scan, std::string* error) {
  // Looked at before opening: opening a pipe would wait for its writer, and a
  // device such as /dev/zero never ends.
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = path + ": not a regular file";
    return false;
  }
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxRecordFileBytes) {
    *error = path + ": too large for a flight record (" + std::to_string(info.st_size) + " bytes)";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::uint8_t> bytes;
  std::uint8_t buf[1 << 16];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && bytes.size() <= kMaxRecordFileBytes)
    bytes.insert(bytes.end(), buf, buf + n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    *error = path + ": read error";
    return false;
  }
  *scan = ScanRecords(bytes.data(), bytes.size());
  return true;
}

bool HasGpsFix(const std::uint8_t* record) {
  const StatusFields f = ReadStatusFields(record);
  if (f.satellites < 3) return false;
  if (!std::isfinite(f.latitude) || !std::isfinite(f.longitude)) return false;
  if (std::fabs(f.latitude) > 90.0f || std::fabs(f.longitude) > 180.0f) return false;
  return !(f.latitude == 0.0f && f.longitude == 0.0f);
}

std::optional<long long> RecordUtcSeconds(const std::uint8_t* record) {
  const StatusFields f = ReadStatusFields(record);
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > kDays[f.month - 1]) return std::nullopt;
  if (f.hour > 23 || f.minute > 59 || f.second > 59) return std::nullopt;
  const bool leap = (f.year % 4 == 0 && f.year % 100 != 0) || f.year % 400 == 0;
  if (f.month == 2 && f.day == 29 && !leap) return std::nullopt;
  std::tm t{};
  t.tm_year = f.year - 1900;
  t.tm_mon = f.month - 1;
  t.tm_mday = f.day;
  t.tm_hour = f.hour;
  t.tm_min = f.minute;
  t.tm_sec = f.second;
  return static_cast<long long>(timegm(&t));
}

std::string FormatUtc(long long seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm u{};
  gmtime_r(&t, &u);
  return FormatText("%04d-%02d-%02dT%02d:%02d:%02dZ", u.tm_year + 1900, u.tm_mon + 1, u.tm_mday, u.tm_hour,
                    u.tm_min, u.tm_sec);
}

RecordInfo SummariseRecords(const RecordScan& scan) {
  RecordInfo info;
  info.records = scan.records.size();
  info.skipped = scan.skipped;
  info.trailingBytes = scan.trailingBytes;
  info.fileBytes = scan.fileBytes;
  for (const RecordBytes& r : scan.records) {
    const TelemetryView v = View(r);
    const StatusFields& f = v.fields;
    if (const auto utc = RecordUtcSeconds(r.data())) {
      if (!info.firstUtc) info.firstUtc = utc;
      info.lastUtc = utc;
    }
    if (HasGpsFix(r.data())) {
      if (info.fixes++ == 0) {
        info.firstLatitude = v.latitudeText;
        info.firstLongitude = v.longitudeText;
      }
      info.lastLatitude = v.latitudeText;
      info.lastLongitude = v.longitudeText;
    }
    if (!info.highestAltitude || f.AltitudeShown() > *info.highestAltitude) {
      info.highestAltitude = f.AltitudeShown();
      info.highestAltitudeText = v.altitudeText;
    }
    if (!info.lowestVolts || f.Volts() < *info.lowestVolts) {
      info.lowestVolts = f.Volts();
      info.lowestVoltsText = v.voltageText;
    }
    if (!info.highestVolts || f.Volts() > *info.highestVolts) {
      info.highestVolts = f.Volts();
      info.highestVoltsText = v.voltageText;
    }
  }
  return info;
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
  out += ",\"highest_altitude\":" + text(info.highestAltitudeText, info.highestAltitude.has_value());
  out += ",\"lowest_voltage\":" + text(info.lowestVoltsText, info.lowestVolts.has_value());
  out += ",\"highest_voltage\":" + text(info.highestVoltsText, info.highestVolts.has_value());
  return out + "}";
}

std::optional<ExportFormat> ParseExportFormat(std::string_view name) {
  if (name == "csv") return ExportFormat::Csv;
  if (name == "gpx") return ExportFormat::Gpx;
  if (name == "kml") return ExportFormat::Kml;
  return std::nullopt;
}

std::string ExportRecords(const RecordScan& scan, ExportFormat format, std::string_view trackName) {
  switch (format) {
    case ExportFormat::Csv: {
      std::string out = kCsvHeader;
      for (std::size_t i = 0; i < scan.records.size(); ++i) out += CsvRow(i + 1, scan.records[i]);
      return out;
    }
    case ExportFormat::Gpx:
      return Gpx(scan, trackName);
    case ExportFormat::Kml:
      return Kml(scan, trackName);
  }
  return {};
}

std::string XmlEscape(std::string_view raw) {
  const std::string text = WellFormedUtf8(raw);
  std::string out;
  for (char c : text) {
    // XML 1.0 has no way to write other control characters, even escaped.
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      out += "\xEF\xBF\xBD";
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace apdesk
