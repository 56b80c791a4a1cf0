#include "viewer/FlightData.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace apdesk {

namespace {

constexpr double kEarthRadius = 6371000.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

// Equirectangular projection around an origin: within a flight's few
// kilometres it is off by far less than the GPS itself.
struct LocalProjection {
  double lat0 = 0, lon0 = 0, cosLat0 = 1;
  void SetOrigin(double lat, double lon) {
    lat0 = lat;
    lon0 = lon;
    cosLat0 = std::cos(lat * kPi / 180);
  }
  double East(double lon) const { return (lon - lon0) * kPi / 180 * kEarthRadius * cosLat0; }
  double North(double lat) const { return (lat - lat0) * kPi / 180 * kEarthRadius; }
};

// What the list and the loader both work out, one record at a time: the
// recorder's one flight summary, and the track's local projection.
class SummaryBuilder {
 public:
  void Add(const StatusFields& f, const std::optional<long long>& utc) {
    m_summariser.Add(f, utc);
    if (HasGpsFix(f)) {
      if (!m_haveOrigin) {
        m_projection.SetOrigin(f.latitude, f.longitude);
        m_haveOrigin = true;
      }
      m_lastEast = m_projection.East(f.longitude);
      m_lastNorth = m_projection.North(f.latitude);
    }
  }
  FlightSummary Finish(const RecordReader& reader) {
    const RecordInfo info = m_summariser.Finish(reader.Skipped(), reader.TrailingBytes(), reader.BytesRead());
    FlightSummary s;
    s.records = info.records;
    s.skipped = info.skipped;
    s.trailingBytes = info.trailingBytes;
    s.fileBytes = info.fileBytes;
    s.fixes = info.fixes;
    s.startUtc = info.firstUtc;
    s.endUtc = info.lastUtc;
    s.distanceMetres = info.distanceMetres;
    s.highestAltitude = info.highestAltitude;
    s.lowestVolts = info.lowestVolts;
    s.highestVolts = info.highestVolts;
    return s;
  }
  const LocalProjection& Projection() const { return m_projection; }
  double LastEast() const { return m_lastEast; }
  double LastNorth() const { return m_lastNorth; }

 private:
  FlightSummariser m_summariser;
  LocalProjection m_projection;
  bool m_haveOrigin = false;
  double m_lastEast = 0, m_lastNorth = 0;
};

// The UTC second of a record, worked out again only when its date bytes change.
class SecondsCache {
 public:
  std::optional<long long> Of(const std::uint8_t* r) {
    if (!m_valid || std::equal(m_bytes, m_bytes + 6, r + 25) == false) {
      std::copy(r + 25, r + 31, m_bytes);
      m_valid = true;
      m_seconds = RecordUtcSeconds(r);
    }
    return m_seconds;
  }

 private:
  std::uint8_t m_bytes[6] = {};
  bool m_valid = false;
  std::optional<long long> m_seconds;
};

}  // namespace

FlightRecord MakeFlightRecord(const StatusFields& f) {
  FlightRecord r;
  r.groundSpeed = static_cast<float>(GroundSpeedMetres(f));
  r.course = static_cast<float>(f.CourseDegrees());
  r.attitudeUp = static_cast<float>(f.attitudeUp);
  r.attitudeLeft = static_cast<float>(f.attitudeLeft);
  // SignedReading16 is undone exactly: its results map one to one to 16 bits.
  r.altitudeReading = static_cast<std::uint16_t>(f.altitudeTenths);
  r.voltageReading = static_cast<std::uint16_t>(f.voltageRaw);
  r.satellites = static_cast<std::uint8_t>(f.satellites);
  r.flightStatus = static_cast<std::uint8_t>(f.flightStatus);
  r.rudder = static_cast<std::uint8_t>(f.rudder);
  r.elevator = static_cast<std::uint8_t>(f.elevator);
  r.throttle = static_cast<std::uint8_t>(f.throttle);
  r.aileron = static_cast<std::uint8_t>(f.aileron);
  return r;
}

namespace {

// The same arithmetic as StatusFields::AltitudeShown and Volts, from the readings.
float Altitude(const FlightRecord& r) {
  return static_cast<float>(SignedReading16(r.altitudeReading) / 10.0);
}
float Volts(const FlightRecord& r) {
  return static_cast<float>(SignedReading16(r.voltageReading) * 20 / 4096.0);
}

template <typename Get>
void CopyValues(const FlightRecord* records, std::size_t count, float* out, Get get) {
  for (std::size_t i = 0; i < count; ++i) out[i] = get(records[i]);
}

}  // namespace

void FlightColumn::CopyTo(std::size_t first, std::size_t count, float* out) const {
  if (m_values) {
    std::copy(m_values + first, m_values + first + count, out);
    return;
  }
  const FlightRecord* r = m_records + first;
  switch (m_id) {
    case PlotQuantityId::kAltitude:
      return CopyValues(r, count, out, Altitude);
    case PlotQuantityId::kVoltage:
      return CopyValues(r, count, out, Volts);
    case PlotQuantityId::kSatellites:
      return CopyValues(r, count, out,
                        [](const FlightRecord& x) { return static_cast<float>(x.satellites); });
    case PlotQuantityId::kGroundSpeed:
      return CopyValues(r, count, out, [](const FlightRecord& x) { return x.groundSpeed; });
    case PlotQuantityId::kCourse:
      return CopyValues(r, count, out, [](const FlightRecord& x) { return x.course; });
    case PlotQuantityId::kAttitudeUp:
      return CopyValues(r, count, out, [](const FlightRecord& x) { return x.attitudeUp; });
    case PlotQuantityId::kAttitudeLeft:
      return CopyValues(r, count, out, [](const FlightRecord& x) { return x.attitudeLeft; });
    case PlotQuantityId::kRudder:
      return CopyValues(r, count, out, [](const FlightRecord& x) { return static_cast<float>(x.rudder); });
    case PlotQuantityId::kElevator:
      return CopyValues(r, count, out, [](const FlightRecord& x) { return static_cast<float>(x.elevator); });
    case PlotQuantityId::kThrottle:
      return CopyValues(r, count, out, [](const FlightRecord& x) { return static_cast<float>(x.throttle); });
    case PlotQuantityId::kAileron:
      return CopyValues(r, count, out, [](const FlightRecord& x) { return static_cast<float>(x.aileron); });
    case PlotQuantityId::kFlightStatus:
      return CopyValues(r, count, out,
                        [](const FlightRecord& x) { return static_cast<float>(x.flightStatus); });
  }
}

float PlottedValue(const FlightRecord& r, PlotQuantityId id) {
  switch (id) {
    case PlotQuantityId::kAltitude:
      return Altitude(r);
    case PlotQuantityId::kVoltage:
      return Volts(r);
    case PlotQuantityId::kSatellites:
      return r.satellites;
    case PlotQuantityId::kGroundSpeed:
      return r.groundSpeed;
    case PlotQuantityId::kCourse:
      return r.course;
    case PlotQuantityId::kAttitudeUp:
      return r.attitudeUp;
    case PlotQuantityId::kAttitudeLeft:
      return r.attitudeLeft;
    case PlotQuantityId::kRudder:
      return r.rudder;
    case PlotQuantityId::kElevator:
      return r.elevator;
    case PlotQuantityId::kThrottle:
      return r.throttle;
    case PlotQuantityId::kAileron:
      return r.aileron;
    case PlotQuantityId::kFlightStatus:
      return r.flightStatus;
  }
  return 0;
}

bool SummariseFlightFile(const std::string& path, FlightSummary* summary, std::string* error) {
  RecordReader reader;
  if (!reader.Open(path, error)) return false;
  SummaryBuilder builder;
  SecondsCache seconds;
  while (const std::uint8_t* r = reader.Next()) builder.Add(ReadStatusFields(r), seconds.Of(r));
  if (reader.ReadFailed()) {
    *error = path + ": read error";
    return false;
  }
  *summary = builder.Finish(reader);
  return true;
}

bool SpreadWithinSeconds(std::vector<double>& t) {
  const auto firstKnown = std::find_if(t.begin(), t.end(), [](double v) { return !std::isnan(v); });
  if (firstKnown == t.end()) {
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = static_cast<double>(i) / 10.0;
    return false;
  }
  double last = *firstKnown;
  for (double& v : t) {
    if (std::isnan(v))
      v = last;
    else
      last = v;
  }
  // A second's records sit at second + k / n; a repeated or backward second
  // (a GPS clock that stepped) starts a run of its own.
  std::size_t start = 0;
  while (start < t.size()) {
    std::size_t end = start + 1;
    while (end < t.size() && t[end] == t[start]) ++end;
    const double n = static_cast<double>(end - start);
    for (std::size_t i = start; i < end; ++i) t[i] += static_cast<double>(i - start) / n;
    start = end;
  }
  return true;
}

bool LoadFlightFile(const std::string& path, FlightData* data, std::string* error) {
  RecordReader reader;
  if (!reader.Open(path, error)) return false;
  FlightData d;
  // Room for the file's records at once: growing by doubling would hold
  // twice the columns for a moment and leave up to half of them unused.
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && info.st_size > 0) {
    const std::size_t expected =
        std::min(static_cast<std::size_t>(info.st_size) / kRecordSize + 1, kMaxViewerRecords);
    d.times.reserve(expected);
    d.records.reserve(expected);
    d.east.reserve(expected);
    d.north.reserve(expected);
  }
  SummaryBuilder builder;
  SecondsCache seconds;
  while (const std::uint8_t* r = reader.Next()) {
    if (d.times.size() >= kMaxViewerRecords) {
      *error = path + ": more than " + std::to_string(kMaxViewerRecords) +
               " records, too many to show (apctl record export can read it)";
      return false;
    }
    const StatusFields f = ReadStatusFields(r);
    const std::optional<long long> utc = seconds.Of(r);
    const bool fix = HasGpsFix(f);
    builder.Add(f, utc);
    d.times.push_back(utc ? static_cast<double>(*utc) : kUnknown);
    d.records.push_back(MakeFlightRecord(f));
    d.east.push_back(fix ? static_cast<float>(builder.LastEast()) : std::numeric_limits<float>::quiet_NaN());
    d.north.push_back(fix ? static_cast<float>(builder.LastNorth())
                          : std::numeric_limits<float>::quiet_NaN());
  }
  if (reader.ReadFailed()) {
    *error = path + ": read error";
    return false;
  }
  d.summary = builder.Finish(reader);
  d.originLatitude = builder.Projection().lat0;
  d.originLongitude = builder.Projection().lon0;
  d.hasUtc = SpreadWithinSeconds(d.times);
  *data = std::move(d);
  return true;
}

std::size_t FlightData::IndexAt(double time) const {
  if (times.empty()) return 0;
  const auto it = std::lower_bound(times.begin(), times.end(), time);
  if (it == times.end()) return times.size() - 1;
  const std::size_t i = static_cast<std::size_t>(it - times.begin());
  if (i > 0 && time - times[i - 1] < *it - time) return i - 1;
  return i;
}

void MinMaxPyramid::Build(const FlightColumn& values) {
  m_levels.clear();
  // The first level straight from the values, each further one from the one below.
  std::vector<float> level;
  const std::size_t bucket = std::size_t{1} << kFirstLevel;
  level.reserve((values.size() / bucket + 1) * 2);
  // The values a block at a time (a multiple of the bucket).
  constexpr std::size_t kBlock = 4096;
  std::vector<float> block(kBlock);
  for (std::size_t at = 0; at < values.size(); at += kBlock) {
    const std::size_t n = std::min(kBlock, values.size() - at);
    values.CopyTo(at, n, block.data());
    for (std::size_t i = 0; i < n; i += bucket) {
      const auto end = block.begin() + static_cast<std::ptrdiff_t>(std::min(n, i + bucket));
      const auto [lo, hi] = std::minmax_element(block.begin() + static_cast<std::ptrdiff_t>(i), end);
      level.push_back(*lo);
      level.push_back(*hi);
    }
  }
  while (level.size() > 2) {
    std::vector<float> up;
    up.reserve(level.size() / 2 + 2);
    for (std::size_t i = 0; i < level.size(); i += 4) {
      float lo = level[i], hi = level[i + 1];
      if (i + 2 < level.size()) {
        lo = std::min(lo, level[i + 2]);
        hi = std::max(hi, level[i + 3]);
      }
      up.push_back(lo);
      up.push_back(hi);
    }
    m_levels.push_back(std::move(level));
    level = std::move(up);
  }
  m_levels.push_back(std::move(level));
}

void MinMaxPyramid::Points(const FlightColumn& values, const std::vector<double>& times, std::size_t first,
                           std::size_t last, std::size_t maxBuckets, std::vector<double>* keys,
                           std::vector<double>* points) const {
  keys->clear();
  points->clear();
  last = std::min(last, values.size());
  if (first >= last) return;
  const std::size_t count = last - first;
  if (count <= 2 * maxBuckets || m_levels.empty()) {
    keys->assign(times.begin() + static_cast<std::ptrdiff_t>(first),
                 times.begin() + static_cast<std::ptrdiff_t>(last));
    points->reserve(last - first);
    for (std::size_t i = first; i < last; ++i) points->push_back(values[i]);
    return;
  }
  std::size_t level = 0;
  while (level + 1 < m_levels.size() && (count >> (kFirstLevel + level)) > maxBuckets) ++level;
  const int shift = kFirstLevel + static_cast<int>(level);
  const std::vector<float>& mm = m_levels[level];
  const std::size_t b0 = first >> shift, b1 = ((last - 1) >> shift) + 1;
  keys->reserve((b1 - b0) * 2);
  points->reserve((b1 - b0) * 2);
  for (std::size_t b = b0; b < b1 && 2 * b + 1 < mm.size(); ++b) {
    const double key = times[std::max(first, b << shift)];
    keys->push_back(key);
    points->push_back(mm[2 * b]);
    keys->push_back(key);
    points->push_back(mm[2 * b + 1]);
  }
}

bool PositionAt(const FlightData& data, std::size_t i, double* latitude, double* longitude) {
  if (i >= data.east.size() || std::isnan(data.east[i])) return false;
  LocalProjection p;
  p.SetOrigin(data.originLatitude, data.originLongitude);
  *latitude = p.lat0 + data.north[i] / kEarthRadius * 180 / kPi;
  *longitude = p.lon0 + data.east[i] / (kEarthRadius * p.cosLat0) * 180 / kPi;
  return true;
}

}  // namespace apdesk
