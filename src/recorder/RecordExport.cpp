#include "recorder/RecordExport.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>

#include "files/RegularFile.h"
#include "files/WholeFile.h"
#include "protocol/NumberText.h"
#include "protocol/StatusSentence.h"
#include "recorder/RecordRead.h"

namespace apdesk {

namespace {

// Larger than a row by far, small enough that memory does not depend on the file.
constexpr std::size_t kOutBlock = std::size_t{1} << 18;

// Text built in a buffer that the caller hands to a stream (Flush) every
// kOutBlock or so, or kept whole when there is no stream. Plain memcpy into
// room made ahead: appending to a std::string piece by piece cost a third of
// an export's time.
class TextOut {
 public:
  explicit TextOut(std::ostream* os) : m_os(os), m_buf(os ? kOutBlock + 8192 : 8192) {}

  void Put(std::string_view s) {
    Room(s.size());
    std::memcpy(m_buf.data() + m_used, s.data(), s.size());
    m_used += s.size();
  }
  void Put(char c) {
    Room(1);
    m_buf[m_used++] = c;
  }
  void Int(long long v) {
    Room(24);
    m_used = static_cast<std::size_t>(PutInt(At(), v) - m_buf.data());
  }
  // "%.6f" of a float (latitude, longitude) as printf gives it.
  void Float6(float v) {
    Room(kNumberTextRoom);
    m_used = static_cast<std::size_t>(PutFloat6(At(), v) - m_buf.data());
  }
  // "%.3f" of raw * 20 / 4096 (the voltage).
  void Volts3(int raw) {
    Room(32);
    m_used = static_cast<std::size_t>(PutVolts3(At(), raw) - m_buf.data());
  }
  // A number in tenths with one decimal ("%.1f" of tenths / 10).
  void Tenths(long long tenths) {
    Room(32);
    m_used = static_cast<std::size_t>(PutTenths(At(), tenths) - m_buf.data());
  }
  // Room for n bytes at the returned place; Commit(end) keeps what was
  // written up to end.
  char* Reserve(std::size_t n) {
    Room(n);
    return At();
  }
  void Commit(const char* end) { m_used = static_cast<std::size_t>(end - m_buf.data()); }
  std::size_t Used() const { return m_used; }
  // Hands the text so far to the stream; false once the stream has failed.
  bool Flush() {
    if (m_os && m_used > 0) {
      m_os->write(m_buf.data(), static_cast<std::streamsize>(m_used));
      m_used = 0;
      if (!*m_os) m_failed = true;
    }
    return !m_failed;
  }
  std::string Take() { return std::string(m_buf.data(), m_used); }

 private:
  char* At() { return m_buf.data() + m_used; }
  void Room(std::size_t n) {
    if (m_buf.size() - m_used >= n) return;
    Flush();
    if (m_buf.size() - m_used < n) m_buf.resize(std::max(m_buf.size() * 2, m_used + n));
  }

  std::ostream* m_os;
  std::vector<char> m_buf;
  std::size_t m_used = 0;
  bool m_failed = false;
};

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\n\r") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// The record's UTC time as text, worked out again only when the second changes.
class UtcText {
 public:
  // Empty when the record has no valid date and time.
  std::string_view Of(const std::uint8_t* record) {
    if (!m_valid || std::memcmp(m_bytes, record + 25, sizeof m_bytes) != 0) {
      std::memcpy(m_bytes, record + 25, sizeof m_bytes);
      m_valid = true;
      m_seconds = RecordUtcSeconds(record);
      m_text = m_seconds ? FormatUtc(*m_seconds) : std::string();
    }
    return m_text;
  }
  std::optional<long long> Seconds() const { return m_seconds; }

 private:
  std::uint8_t m_bytes[6] = {};
  bool m_valid = false;
  std::optional<long long> m_seconds;
  std::string m_text;
};

constexpr std::string_view kColumns[] = {
    "file",     "record",          "utc_time", "latitude",        "longitude",       "altitude",
    "course",   "voltage",         "version",  "attitude",        "satellites",      "flight_status",
    "rudder",   "rudder_colour",   "aileron",  "aileron_colour",  "elevator",        "elevator_colour",
    "throttle", "throttle_colour", "pdop",     "velocity_x_cm_s", "velocity_y_cm_s", "install_error_captured",
    "gps_fix"};

char* Copy(char* at, std::string_view text) {
  std::memcpy(at, text.data(), text.size());
  return at + text.size();
}

// "L 3" / "R 3": a direction word and the size of a signed reading, taken in
// 64 bits so that the most negative reading has a positive size too.
char* PutDirection(char* at, std::int32_t value, char positive, char negative) {
  const long long v = value;
  *at++ = v >= 0 ? positive : negative;
  *at++ = ' ';
  return PutInt(at, v >= 0 ? v : -v);
}

// A small count (0-999, the usual field) without a call; others by PutInt.
inline char* PutSmall(char* at, int v) {
  if (v >= 0 && v < 10) {
    *at = static_cast<char>('0' + v);
    return at + 1;
  }
  if (v >= 10 && v < 100) {
    at[0] = static_cast<char>('0' + v / 10);
    at[1] = static_cast<char>('0' + v % 10);
    return at + 2;
  }
  return PutInt(at, v);
}

std::string WellFormedUtf8(std::string_view text);

// One CSV or JSON Lines row per record, with the fields as the main window
// shows them (and apctl monitor prints them). A row is written straight into
// the output buffer, room for the longest one made once.
class RowWriter {
 public:
  RowWriter(TextOut& out, bool json, std::string_view sourceName) : m_out(out), m_json(json) {
    m_prefix = json ? "{\"file\":" + JsonString(sourceName) + ",\"record\":"
                    : CsvField(WellFormedUtf8(sourceName)) + ",";
    for (std::size_t i = 0; i < std::size(kColumns); ++i)
      m_keys[i] = json ? ",\"" + std::string(kColumns[i]) + "\":" : std::string(",");
    if (!json) {
      for (std::size_t i = 0; i < std::size(kColumns); ++i) {
        if (i > 0) m_out.Put(',');
        m_out.Put(kColumns[i]);
      }
      m_out.Put('\n');
    }
    // Four numbers may take a double's longest text; the rest are short.
    m_room = m_prefix.size() + 4 * kNumberTextRoom + 1024;
  }

  void Row(const std::uint8_t* r) {
    const StatusFields f = ReadStatusFields(r);
    const std::array<StickChannel, 4> sticks = StickChannels(f);
    const std::string_view utc = m_utc.Of(r);
    char* const start = m_out.Reserve(m_room + utc.size());
    char* p = Copy(start, m_prefix);
    p = PutInt(p, static_cast<long long>(++m_index));
    p = Copy(p, m_keys[2]);
    if (m_json) {
      if (utc.empty()) {
        p = Copy(p, "null");
      } else {
        *p++ = '"';
        p = Copy(p, utc);
        *p++ = '"';
      }
    } else {
      p = Copy(p, utc);
    }
    p = Copy(p, m_keys[3]);
    p = Coordinate(p, f.latitude);
    p = Copy(p, m_keys[4]);
    p = Coordinate(p, f.longitude);
    p = Copy(p, m_keys[5]);
    p = PutTenths(p, f.altitudeTenths);
    p = Copy(p, m_keys[6]);
    const double course = f.CourseDegrees();
    p = m_json && !std::isfinite(course) ? Copy(p, "null") : PutFixed(p, course, 1);  // JSON has no NaN
    p = Copy(p, m_keys[7]);
    p = PutVolts3(p, f.voltageRaw);
    p = Copy(p, m_keys[8]);
    p = PutInt(p, f.Version());
    p = Copy(p, m_keys[9]);
    *p++ = '"';
    p = PutDirection(p, f.attitudeLeft, 'L', 'R');
    *p++ = ',';
    p = PutDirection(p, f.attitudeUp, 'U', 'D');
    *p++ = '"';
    p = Copy(p, m_keys[10]);
    p = PutSmall(p, f.satellites);
    p = Copy(p, m_keys[11]);
    p = PutSmall(p, f.flightStatus);
    std::size_t column = 12;
    for (int ch : {kRudder, kAileron, kElevator, kThrottle}) {
      const StickChannel& stick = sticks[static_cast<std::size_t>(ch)];
      p = Copy(p, m_keys[column++]);
      p = PutSmall(p, stick.value);
      p = Copy(p, m_keys[column++]);
      if (m_json) *p++ = '"';
      p = Copy(p, StickColourName(stick.argb));
      if (m_json) *p++ = '"';
    }
    p = Copy(p, m_keys[20]);
    p = PutTenths(p, f.pdopTimes10);
    p = Copy(p, m_keys[21]);
    p = PutInt(p, f.velocityX);
    p = Copy(p, m_keys[22]);
    p = PutInt(p, f.velocityY);
    p = Copy(p, m_keys[23]);
    *p++ = f.Captured() ? '1' : '0';
    p = Copy(p, m_keys[24]);
    *p++ = HasGpsFix(f) ? '1' : '0';
    p = Copy(p, m_json ? std::string_view("}\n") : std::string_view("\n"));
    m_out.Commit(p);
  }

 private:
  char* Coordinate(char* at, float v) {
    if (m_json && !std::isfinite(v)) return Copy(at, "null");
    return PutFloat6(at, v);
  }

  TextOut& m_out;
  bool m_json;
  std::string m_prefix;
  std::string m_keys[std::size(kColumns)];
  std::size_t m_room = 0;
  std::size_t m_index = 0;
  UtcText m_utc;
};

// One pass over the records: calls the visitor with each sound one. False
// when the records could not be read to the end.
using RecordPass = std::function<bool(const std::function<void(const std::uint8_t*)>&)>;

// The records of one UTC second are held until the second ends, so that each
// gets its share of it (second + k/n, as a replay plays them) instead of ten
// equal times. A record without a valid time ends the second and passes on
// with an empty time. Memory stays bounded: a second holds at most
// kMaxSecondGroup records, more start a group of their own.
class SecondSpread {
 public:
  using Emit = std::function<void(const std::uint8_t* record, std::string_view time)>;
  static constexpr std::size_t kMaxSecondGroup = 1000;

  explicit SecondSpread(Emit emit) : m_emit(std::move(emit)) {}

  void Add(const std::uint8_t* r) {
    const bool timed = !m_utc.Of(r).empty();
    const std::optional<long long> second = timed ? m_utc.Seconds() : std::nullopt;
    if (!second || second != m_second || m_group.size() >= kMaxSecondGroup) Flush();
    if (!second) {
      m_emit(r, std::string_view());
      return;
    }
    m_second = second;
    RecordBytes copy;
    std::memcpy(copy.data(), r, copy.size());
    m_group.push_back(copy);
  }

  void Flush() {
    if (m_group.empty()) return;
    const std::string whole = FormatUtc(*m_second);  // "...:07Z"
    const std::size_t n = m_group.size();
    for (std::size_t k = 0; k < n; ++k) {
      if (k == 0) {
        m_emit(m_group[k].data(), whole);
        continue;
      }
      const std::string time = whole.substr(0, whole.size() - 1) + FormatText(".%03zuZ", k * 1000 / n);
      m_emit(m_group[k].data(), time);
    }
    m_group.clear();
    m_second.reset();
  }

 private:
  Emit m_emit;
  UtcText m_utc;
  std::optional<long long> m_second;
  std::vector<RecordBytes> m_group;
};

void PointText(TextOut& out, const StatusFields& f, char separator) {
  out.Float6(f.longitude);
  out.Put(separator);
  out.Float6(f.latitude);
  out.Put(separator);
  out.Tenths(f.altitudeTenths);
}

bool WriteGpx(const RecordPass& pass, std::string_view name, TextOut& out, std::size_t* exported) {
  out.Put(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"apdesk\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
      "  <trk>\n    <name>");
  out.Put(XmlEscape(name));
  out.Put("</name>\n    <trkseg>\n");
  SecondSpread spread([&](const std::uint8_t* r, std::string_view time) {
    const StatusFields f = ReadStatusFields(r);
    if (!HasGpsFix(f)) return;
    ++*exported;
    out.Put("      <trkpt lat=\"");
    out.Float6(f.latitude);
    out.Put("\" lon=\"");
    out.Float6(f.longitude);
    out.Put("\"><ele>");
    out.Tenths(f.altitudeTenths);
    out.Put("</ele>");
    if (!time.empty()) {
      out.Put("<time>");
      out.Put(time);
      out.Put("</time>");
    }
    out.Put("</trkpt>\n");
  });
  const bool read = pass([&](const std::uint8_t* r) { spread.Add(r); });
  spread.Flush();
  out.Put("    </trkseg>\n  </trk>\n</gpx>\n");
  return read;
}

// KML's gx:Track lists every time first and then every position, so the
// records are read twice rather than held. Fixes without a valid time cannot
// be in the track; they follow as a plain line so no position is lost.
bool WriteKml(const RecordPass& pass, std::string_view name, TextOut& out, std::size_t* exported) {
  const std::string escaped = XmlEscape(name);
  out.Put(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n"
      "  <Document>\n    <name>");
  out.Put(escaped);
  out.Put("</name>\n    <Placemark>\n      <name>");
  out.Put(escaped);
  out.Put("</name>\n      <gx:Track>\n        <altitudeMode>absolute</altitudeMode>\n");
  UtcText utc;
  std::size_t untimed = 0;
  SecondSpread spread([&](const std::uint8_t* r, std::string_view time) {
    if (!HasGpsFix(r)) return;
    if (time.empty()) {
      ++untimed;
      return;
    }
    ++*exported;
    out.Put("        <when>");
    out.Put(time);
    out.Put("</when>\n");
  });
  bool read = pass([&](const std::uint8_t* r) { spread.Add(r); });
  spread.Flush();
  // A file still being recorded may have grown since: the track takes as
  // many positions as it has times.
  const std::size_t timed = *exported;
  std::size_t coords = 0, lines = 0;
  if (read) {
    read = pass([&](const std::uint8_t* r) {
      const StatusFields f = ReadStatusFields(r);
      if (coords == timed || !HasGpsFix(f) || utc.Of(r).empty()) return;
      ++coords;
      out.Put("        <gx:coord>");
      PointText(out, f, ' ');
      out.Put("</gx:coord>\n");
    });
  }
  out.Put("      </gx:Track>\n    </Placemark>\n");
  if (read && untimed > 0) {
    out.Put("    <Placemark>\n      <name>");
    out.Put(escaped);
    out.Put(
        " (no GPS time)</name>\n      <LineString>\n        <altitudeMode>absolute</altitudeMode>\n"
        "        <coordinates>\n");
    read = pass([&](const std::uint8_t* r) {
      const StatusFields f = ReadStatusFields(r);
      if (lines == untimed || !HasGpsFix(f) || !utc.Of(r).empty()) return;
      ++lines;
      ++*exported;
      out.Put("          ");
      PointText(out, f, ',');
      out.Put('\n');
    });
    out.Put("        </coordinates>\n      </LineString>\n    </Placemark>\n");
  }
  out.Put("  </Document>\n</kml>\n");
  return read;
}

bool WriteExport(const RecordPass& pass, ExportFormat format, std::string_view name, TextOut& out,
                 std::size_t* exported) {
  switch (format) {
    case ExportFormat::Csv:
    case ExportFormat::Jsonl: {
      RowWriter rows(out, format == ExportFormat::Jsonl, name);
      return pass([&](const std::uint8_t* r) {
        ++*exported;
        rows.Row(r);
      });
    }
    case ExportFormat::Gpx:
      return WriteGpx(pass, name, out, exported);
    case ExportFormat::Kml:
      return WriteKml(pass, name, out, exported);
  }
  return false;
}

}  // namespace

namespace {

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

std::optional<ExportFormat> ParseExportFormat(std::string_view name) {
  for (ExportFormat f : {ExportFormat::Csv, ExportFormat::Jsonl, ExportFormat::Gpx, ExportFormat::Kml})
    if (name == ExportFormatName(f)) return f;
  return std::nullopt;
}

const char* ExportFormatName(ExportFormat format) {
  switch (format) {
    case ExportFormat::Csv:
      return "csv";
    case ExportFormat::Jsonl:
      return "jsonl";
    case ExportFormat::Gpx:
      return "gpx";
    case ExportFormat::Kml:
      return "kml";
  }
  return "";
}

std::string ExportRecords(const RecordScan& scan, ExportFormat format, std::string_view sourceName) {
  TextOut out(nullptr);
  const RecordPass pass = [&scan](const std::function<void(const std::uint8_t*)>& visit) {
    for (const RecordBytes& r : scan.records) visit(r.data());
    return true;
  };
  std::size_t exported = 0;
  WriteExport(pass, format, sourceName, out, &exported);
  return out.Take();
}

bool ExportRecordFile(const std::string& path, ExportFormat format, std::string_view sourceName,
                      std::ostream& os, ExportCounts* counts, std::string* error) {
  RecordReader reader;
  if (!reader.Open(path, error)) return false;
  TextOut out(&os);
  bool outFailed = false;
  int failedWith = 0;  // errno of the failed write, kept before anything else can change it
  bool firstPass = true;
  const RecordPass pass = [&](const std::function<void(const std::uint8_t*)>& visit) {
    // KML reads the file again for each part of the track.
    if (!firstPass && !reader.Open(path, error)) return false;
    firstPass = false;
    while (const std::uint8_t* r = reader.Next()) {
      visit(r);
      errno = 0;
      if (out.Used() >= kOutBlock && !out.Flush()) {
        outFailed = true;
        failedWith = errno;
        return false;
      }
    }
    if (reader.ReadFailed()) {
      *error = path + ": read error";
      return false;
    }
    return true;
  };
  *counts = {};
  const bool read = WriteExport(pass, format, sourceName, out, &counts->exported);
  counts->records = reader.Records();
  counts->skipped = reader.Skipped();
  counts->trailingBytes = reader.TrailingBytes();
  errno = 0;
  if (!outFailed && !out.Flush()) {
    outFailed = true;
    failedWith = errno;
  }
  if (outFailed) {
    *error =
        "cannot write the export of " + path + ": " + FileErrorReason(failedWith != 0 ? failedWith : EIO);
    return false;
  }
  return read;
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
