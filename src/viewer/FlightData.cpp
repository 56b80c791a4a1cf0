#include "viewer/FlightData.h"

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

// What the list and the loader both work out, one record at a time.
class SummaryBuilder {
 public:
  void Add(const StatusFields& f, const std::optional<long long>& utc) {
    ++m_s.records;
    if (utc) {
      if (!m_s.startUtc) m_s.startUtc = utc;
      m_s.endUtc = utc;
    }
    const double altitude = f.AltitudeShown(), volts = f.Volts();
    if (!m_s.highestAltitude || altitude > *m_s.highestAltitude) m_s.highestAltitude = altitude;
    if (!m_s.lowestVolts || volts < *m_s.lowestVolts) m_s.lowestVolts = volts;
    if (HasGpsFix(f)) {
      if (m_s.fixes++ == 0) m_projection.SetOrigin(f.latitude, f.longitude);
      const double e = m_projection.East(f.longitude), n = m_projection.North(f.latitude);
      if (m_s.fixes > 1) m_s.distanceMetres += std::hypot(e - m_lastEast, n - m_lastNorth);
      m_lastEast = e;
      m_lastNorth = n;
    }
  }
  FlightSummary Finish(const RecordReader& reader) {
    m_s.skipped = reader.Skipped();
    m_s.trailingBytes = reader.TrailingBytes();
    m_s.fileBytes = reader.BytesRead();
    return m_s;
  }
  const LocalProjection& Projection() const { return m_projection; }
  double LastEast() const { return m_lastEast; }
  double LastNorth() const { return m_lastNorth; }

 private:
  FlightSummary m_s;
  LocalProjection m_projection;
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
  SummaryBuilder builder;
  SecondsCache seconds;
  const std::span<const PlotQuantity> quantities = PlotQuantities();
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
    for (std::size_t q = 0; q < quantities.size(); ++q)
      d.columns[q].push_back(static_cast<float>(quantities[q].value(f)));
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

void MinMaxPyramid::Build(const std::vector<float>& values) {
  m_levels.clear();
  // The first level straight from the values, each further one from the one below.
  std::vector<float> level;
  const std::size_t bucket = std::size_t{1} << kFirstLevel;
  level.reserve((values.size() / bucket + 1) * 2);
  for (std::size_t i = 0; i < values.size(); i += bucket) {
    const auto end = values.begin() + static_cast<std::ptrdiff_t>(std::min(values.size(), i + bucket));
    const auto [lo, hi] = std::minmax_element(values.begin() + static_cast<std::ptrdiff_t>(i), end);
    level.push_back(*lo);
    level.push_back(*hi);
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

void MinMaxPyramid::Points(const std::vector<float>& values, const std::vector<double>& times,
                           std::size_t first, std::size_t last, std::size_t maxBuckets,
                           std::vector<double>* keys, std::vector<double>* points) const {
  keys->clear();
  points->clear();
  last = std::min(last, values.size());
  if (first >= last) return;
  const std::size_t count = last - first;
  if (count <= 2 * maxBuckets || m_levels.empty()) {
    keys->assign(times.begin() + static_cast<std::ptrdiff_t>(first),
                 times.begin() + static_cast<std::ptrdiff_t>(last));
    points->assign(values.begin() + static_cast<std::ptrdiff_t>(first),
                   values.begin() + static_cast<std::ptrdiff_t>(last));
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
