#include "viewer/FlightData.h"

#include <sys/stat.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>

namespace apdesk {

namespace {

constexpr double kEarthRadius = 6371000.0;
constexpr double kPi = 3.14159265358979323846;

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
  // `fix`: HasGpsFix(f), worked out once by the caller.
  void Add(const StatusFields& f, const std::optional<long long>& utc, bool fix) {
    m_summariser.Add(f, utc);
    if (fix) {
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

// GroundSpeedMetres as a float, without hypot: the sum of the squared
// whole-number velocities is exact in a double and sqrt is correctly rounded,
// so the float is the same (hypot's last bit can differ; never the float's).
float GroundSpeed(const StatusFields& f) {
  const auto x = static_cast<std::int64_t>(f.velocityX), y = static_cast<std::int64_t>(f.velocityY);
  return static_cast<float>(std::sqrt(static_cast<double>(x * x + y * y)) / 100.0);
}

// A fresh column's pages at once, as huge pages where the system allows
// (fewer faults and address-cache misses).
template <typename T>
void Prefault(const std::vector<T>& column) {
  PrefaultPages(const_cast<T*>(column.data()), column.capacity() * sizeof(T), true);
}

}  // namespace

FlightRecord MakeFlightRecord(const StatusFields& f) {
  FlightRecord r;
  r.groundSpeed = GroundSpeed(f);
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
  while (const std::uint8_t* r = reader.Next()) {
    const StatusFields f = ReadStatusFields(r);
    builder.Add(f, seconds.Of(r), HasGpsFix(f));
  }
  if (reader.ReadFailed()) {
    *error = path + ": read error";
    return false;
  }
  *summary = builder.Finish(reader);
  return true;
}

double FlightTimes::operator[](std::size_t i) const {
  if (m_runs.empty()) return static_cast<double>(i) / 10.0;
  const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), i,
                                      [](std::size_t at, const Run& run) { return at < run.first; });
  const Run& run = *(after - 1);
  const std::size_t end = after == m_runs.end() ? m_size : after->first;
  // second + k / n, as the records of a second always were spread.
  double t = run.second;
  t += static_cast<double>(i - run.first) / static_cast<double>(end - run.first);
  return t;
}

std::size_t FlightTimes::LowerBound(double time) const {
  std::size_t lo = 0, hi = m_size;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if ((*this)[mid] < time)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

std::size_t FlightTimes::UpperBound(double time) const {
  std::size_t lo = 0, hi = m_size;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (!(time < (*this)[mid]))
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

bool FlightTimes::Finish() {
  if (!m_known) m_runs.clear();
  m_runs.shrink_to_fit();
  return m_known;
}

namespace {

// Min and max of `count` values (a bucket of at most 2^shift, starting at a
// multiple of it) worked out as the levels always were: minmax_element per 8,
// then pairs of pairs, the last one of an odd level on its own.
std::pair<float, float> BucketMinMax(const float* values, std::size_t count, int shift) {
  constexpr std::size_t kFirst = std::size_t{1} << MinMaxPyramid::kFirstLevel;
  std::pair<float, float> level[MinMaxPyramid::kKeptBucket / kFirst];
  count = std::min(count, MinMaxPyramid::kKeptBucket);
  std::size_t n = 0;
  for (std::size_t i = 0; i < count; i += kFirst) {
    const auto [lo, hi] = std::minmax_element(values + i, values + std::min(count, i + kFirst));
    level[n++] = {*lo, *hi};
  }
  for (int k = MinMaxPyramid::kFirstLevel; k < shift && n > 1; ++k) {
    std::size_t m = 0;
    for (std::size_t i = 0; i < n; i += 2) {
      std::pair<float, float> p = level[i];
      if (i + 1 < n) p = {std::min(p.first, level[i + 1].first), std::max(p.second, level[i + 1].second)};
      level[m++] = p;
    }
    n = m;
  }
  return level[0];
}

// Read a block this size at a time when loading: it stays in the processor's
// cache between the kernel's copy and the pass over its records (measured a
// little quicker than 1 MiB blocks).
constexpr std::size_t kLoadBlock = std::size_t{128} << 10;

constexpr float kNoFix = std::numeric_limits<float>::quiet_NaN();

// The twelve plotted values of a record, in PlottedValue's order, padded to
// whole vectors.
constexpr std::size_t kLanes = 16;
static_assert(kPlotQuantityCount == 12 && static_cast<int>(PlotQuantityId::kFlightStatus) == 11);

#if !defined(__SSE2__)
void ValuesOf(const FlightRecord& r, float* row) {
  row[static_cast<int>(PlotQuantityId::kAltitude)] = Altitude(r);
  row[static_cast<int>(PlotQuantityId::kVoltage)] = Volts(r);
  row[static_cast<int>(PlotQuantityId::kSatellites)] = r.satellites;
  row[static_cast<int>(PlotQuantityId::kGroundSpeed)] = r.groundSpeed;
  row[static_cast<int>(PlotQuantityId::kCourse)] = r.course;
  row[static_cast<int>(PlotQuantityId::kAttitudeUp)] = r.attitudeUp;
  row[static_cast<int>(PlotQuantityId::kAttitudeLeft)] = r.attitudeLeft;
  row[static_cast<int>(PlotQuantityId::kRudder)] = r.rudder;
  row[static_cast<int>(PlotQuantityId::kElevator)] = r.elevator;
  row[static_cast<int>(PlotQuantityId::kThrottle)] = r.throttle;
  row[static_cast<int>(PlotQuantityId::kAileron)] = r.aileron;
  row[static_cast<int>(PlotQuantityId::kFlightStatus)] = r.flightStatus;
  for (std::size_t q = kPlotQuantityCount; q < kLanes; ++q) row[q] = 0;
}
#endif

// Every quantity's min and max per bucket and its finite range, worked out
// record by record for all twelve at once (lane q is quantity q, four lanes
// to a vector instruction). Each lane compares in record order exactly as a
// pass over that quantity alone would. A bucket whose values are all finite
// (nearly every one: only a course can be NaN or infinite) adds its min and
// max to the range; any other is gone through value by value.
class LaneMinMax {
 public:
  using Levels = std::array<MinMaxPyramid, kPlotQuantityCount>;
  explicit LaneMinMax(Levels& levels) : m_levels(levels) {
    for (std::size_t q = 0; q < kLanes; ++q) {
      m_rangeLo[q] = std::numeric_limits<float>::max();
      m_rangeHi[q] = std::numeric_limits<float>::lowest();
    }
  }

  void Add(const FlightRecord& record) {
    m_records[m_count] = record;
#if defined(__SSE2__)
    // The twelve values straight into three vectors (through memory a row
    // of single floats would stall each vector load), in PlottedValue's
    // order. minps(a, b) is a < b ? a : b and maxps(a, b) a > b ? a : b:
    // the plain comparisons below.
    const __m128 x[3] = {_mm_setr_ps(Altitude(record), Volts(record), record.satellites, record.groundSpeed),
                         _mm_setr_ps(record.course, record.attitudeUp, record.attitudeLeft, record.rudder),
                         _mm_setr_ps(record.elevator, record.throttle, record.aileron, record.flightStatus)};
    if (m_count++ == 0) {
      for (std::size_t k = 0; k < 3; ++k) {
        _mm_store_ps(m_lo + 4 * k, x[k]);
        _mm_store_ps(m_hi + 4 * k, x[k]);
        _mm_store_ps(m_odd + 4 * k, _mm_setzero_ps());
      }
    }
    const __m128 zero = _mm_setzero_ps();
    for (std::size_t k = 0; k < 3; ++k) {
      const __m128 odd = _mm_cmpneq_ps(_mm_sub_ps(x[k], x[k]), zero);  // NaN or infinite
      _mm_store_ps(m_odd + 4 * k, _mm_or_ps(_mm_load_ps(m_odd + 4 * k), odd));
      _mm_store_ps(m_lo + 4 * k, _mm_min_ps(x[k], _mm_load_ps(m_lo + 4 * k)));
      _mm_store_ps(m_hi + 4 * k, _mm_max_ps(x[k], _mm_load_ps(m_hi + 4 * k)));
    }
#else
    float v[kLanes];
    ValuesOf(record, v);
    if (m_count++ == 0)
      for (std::size_t q = 0; q < kLanes; ++q) m_lo[q] = m_hi[q] = v[q], m_odd[q] = 0;
    for (std::size_t q = 0; q < kLanes; ++q) {
      m_odd[q] = v[q] - v[q] != 0 ? 1.0f : m_odd[q];  // NaN or infinite
      m_lo[q] = v[q] < m_lo[q] ? v[q] : m_lo[q];
      m_hi[q] = v[q] > m_hi[q] ? v[q] : m_hi[q];
    }
#endif
    if (m_count == MinMaxPyramid::kKeptBucket) CloseBucket();
  }

  // The bucket so far into the levels and ranges (a short one at the end).
  void CloseBucket() {
    if (m_count == 0) return;
    for (std::size_t q = 0; q < kPlotQuantityCount; ++q) {
      float& lo = m_rangeLo[q];
      float& hi = m_rangeHi[q];
      if (!OddSeen(q)) {
        m_levels[q].AddBucketMinMax(m_lo[q], m_hi[q], m_count);
        lo = m_lo[q] < lo ? m_lo[q] : lo;
        hi = m_hi[q] > hi ? m_hi[q] : hi;
        continue;
      }
      // A NaN makes the order of comparing matter, and the range leaves out
      // what is not finite: the bucket's values one by one.
      float values[MinMaxPyramid::kKeptBucket];
      FlightColumn(m_records, m_count, static_cast<PlotQuantityId>(q)).CopyTo(0, m_count, values);
      m_levels[q].AddBucket(values, m_count);
      for (std::size_t i = 0; i < m_count; ++i) {
        const float x = values[i];
        const bool finite = x - x == 0;
        lo = finite && x < lo ? x : lo;
        hi = finite && x > hi ? x : hi;
      }
    }
    m_count = 0;
  }

  std::pair<float, float> Range(std::size_t q) const {
    return {m_rangeLo[q], m_rangeHi[q]};
  }

 private:
  // Whether lane q met a NaN or an infinity in this bucket: any bit set (all
  // ones from a vector comparison, 1.0f from the plain one).
  bool OddSeen(std::size_t q) const {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &m_odd[q], sizeof bits);
    return bits != 0;
  }

  Levels& m_levels;
  alignas(16) float m_lo[kLanes], m_hi[kLanes], m_odd[kLanes];
  float m_rangeLo[kLanes], m_rangeHi[kLanes];
  std::size_t m_count = 0;
  FlightRecord m_records[MinMaxPyramid::kKeptBucket];
};

}  // namespace

bool LoadFlightFile(const std::string& path, FlightData* data, std::string* error) {
  RecordReader reader;
  if (!reader.Open(path, error, kLoadBlock)) return false;
  FlightData d;
  d.path = path;
  // Room for the file's records at once: growing by doubling would hold
  // twice the columns for a moment and leave up to half of them unused.
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && info.st_size > 0) {
    const std::size_t expected =
        std::min(static_cast<std::size_t>(info.st_size) / kRecordSize + 1, kMaxViewerRecords);
    d.east.reserve(expected);
    d.north.reserve(expected);
    d.altitudeReadings.reserve(expected);
    d.groundSpeeds.reserve(expected);
    d.bucketOffsets.reserve(expected / MinMaxPyramid::kKeptBucket + 1);
    for (MinMaxPyramid& level : d.levels) level.Reserve(expected);
    Prefault(d.east);
    Prefault(d.north);
    Prefault(d.altitudeReadings);
    Prefault(d.groundSpeeds);
  }
  SummaryBuilder builder;
  SecondsCache seconds;
  LaneMinMax minMax(d.levels);
  std::size_t inBucket = 0;
  while (const std::uint8_t* r = reader.Next()) {
    if (d.east.size() >= kMaxViewerRecords) {
      *error = path + ": more than " + std::to_string(kMaxViewerRecords) +
               " records, too many to show (apctl record export can read it)";
      return false;
    }
    if (inBucket == 0) d.bucketOffsets.push_back(reader.LastOffset());
    const StatusFields f = ReadStatusFields(r);
    const std::optional<long long> utc = seconds.Of(r);
    const bool fix = HasGpsFix(f);
    builder.Add(f, utc, fix);
    d.times.Add(utc);
    const FlightRecord record = MakeFlightRecord(f);
    d.altitudeReadings.push_back(record.altitudeReading);
    d.groundSpeeds.push_back(record.groundSpeed);
    d.east.push_back(fix ? static_cast<float>(builder.LastEast()) : kNoFix);
    d.north.push_back(fix ? static_cast<float>(builder.LastNorth()) : kNoFix);
    minMax.Add(record);
    if (++inBucket == MinMaxPyramid::kKeptBucket) inBucket = 0;
  }
  if (reader.ReadFailed()) {
    *error = path + ": read error";
    return false;
  }
  minMax.CloseBucket();
  for (MinMaxPyramid& level : d.levels) level.Finish();
  for (std::size_t q = 0; q < kPlotQuantityCount; ++q) d.ranges[q] = minMax.Range(q);
  d.summary = builder.Finish(reader);
  d.originLatitude = builder.Projection().lat0;
  d.originLongitude = builder.Projection().lon0;
  d.hasUtc = d.times.Finish();
  *data = std::move(d);
  return true;
}

TrackExtent FlightData::Extent(PlotQuantityId colourBy) const {
  TrackExtent x;
  const std::size_t n = east.size();
  std::size_t i = 0;
  while (i < n && std::isnan(east[i])) ++i;
  if (i == n) return x;
  x.firstFix = x.lastFix = i;
  x.minEast = x.maxEast = east[i];
  x.minNorth = x.maxNorth = north[i];
  // Altitude grows with its signed reading: the extremes of the readings
  // give those of the altitudes, without a division per record.
  const bool bySpeed = colourBy == PlotQuantityId::kGroundSpeed;
  int readingLo = SignedReading16(altitudeReadings[i]), readingHi = readingLo;
  float speedLo = groundSpeeds[i], speedHi = speedLo;
  for (; i < n; ++i) {
    const float e = east[i], no = north[i];
    if (std::isnan(e)) continue;
    x.lastFix = i;
    x.minEast = std::min(x.minEast, e), x.maxEast = std::max(x.maxEast, e);
    x.minNorth = std::min(x.minNorth, no), x.maxNorth = std::max(x.maxNorth, no);
    if (bySpeed) {
      speedLo = std::min(speedLo, groundSpeeds[i]), speedHi = std::max(speedHi, groundSpeeds[i]);
    } else {
      const int reading = SignedReading16(altitudeReadings[i]);
      readingLo = std::min(readingLo, reading), readingHi = std::max(readingHi, reading);
    }
  }
  if (bySpeed) {
    x.colourLo = speedLo, x.colourHi = speedHi;
  } else {
    FlightRecord r;
    r.altitudeReading = static_cast<std::uint16_t>(readingLo);
    x.colourLo = Altitude(r);
    r.altitudeReading = static_cast<std::uint16_t>(readingHi);
    x.colourHi = Altitude(r);
  }
  return x;
}

float FlightData::TrackColour(PlotQuantityId id, std::size_t i) const {
  FlightRecord r;
  r.altitudeReading = altitudeReadings[i];
  r.groundSpeed = groundSpeeds[i];
  return PlottedValue(r, id);
}

bool FlightData::ReadRecords(std::size_t first, std::size_t last, std::vector<FlightRecord>* out) const {
  out->clear();
  last = std::min(last, Size());
  if (first >= last) return true;
  const std::size_t bucket = first / MinMaxPyramid::kKeptBucket;
  if (bucket >= bucketOffsets.size()) return false;
  // One reader for all these looks: its buffer is made once, not for each.
  if (!m_rereader) m_rereader = std::make_shared<RecordReader>();
  RecordReader& reader = *m_rereader;
  std::string error;
  if (!reader.Open(path, &error) || !reader.Seek(bucketOffsets[bucket])) return false;
  out->reserve(last - first);
  for (std::size_t i = bucket * MinMaxPyramid::kKeptBucket; i < last; ++i) {
    const std::uint8_t* r = reader.Next();
    if (r == nullptr) {
      out->clear();
      return false;
    }
    if (i >= first) out->push_back(MakeFlightRecord(ReadStatusFields(r)));
  }
  return true;
}

std::size_t FlightData::IndexAt(double time) const {
  if (times.empty()) return 0;
  const std::size_t i = times.LowerBound(time);
  if (i == times.size()) return times.size() - 1;
  if (i > 0 && time - times[i - 1] < times[i] - time) return i - 1;
  return i;
}

void MinMaxPyramid::AddBucket(const float* values, std::size_t count) {
  if (m_levels.empty()) m_levels.emplace_back();
  // Without NaN the order of comparing does not matter: one plain pass.
  float lo = values[0], hi = values[0];
  bool nan = false;
  for (std::size_t i = 0; i < count; ++i) {
    const float v = values[i];
    nan |= v != v;
    lo = v < lo ? v : lo;
    hi = v > hi ? v : hi;
  }
  if (nan) std::tie(lo, hi) = BucketMinMax(values, count, kKeptLevel);
  m_levels[0].push_back(lo);
  m_levels[0].push_back(hi);
  m_size += count;
}

void MinMaxPyramid::Reserve(std::size_t records) {
  if (m_levels.empty()) m_levels.emplace_back();
  m_levels[0].reserve(2 * (records / kKeptBucket + 1));
}

void MinMaxPyramid::AddBucketMinMax(float lo, float hi, std::size_t count) {
  if (m_levels.empty()) m_levels.emplace_back();
  m_levels[0].push_back(lo);
  m_levels[0].push_back(hi);
  m_size += count;
}

void MinMaxPyramid::Finish() {
  if (m_levels.empty()) return;
  m_levels.resize(1);
  m_levels[0].shrink_to_fit();
  // Each further level from the one below.
  while (m_levels.back().size() > 2) {
    const std::vector<float>& level = m_levels.back();
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
    m_levels.push_back(std::move(up));
  }
}

void MinMaxPyramid::Build(const FlightColumn& values) {
  m_levels.clear();
  m_size = 0;
  float block[kKeptBucket];
  for (std::size_t at = 0; at < values.size(); at += kKeptBucket) {
    const std::size_t n = std::min(kKeptBucket, values.size() - at);
    values.CopyTo(at, n, block);
    AddBucket(block, n);
  }
  Finish();
}

namespace {

// The level drawn for `count` records: the finest with no more than
// maxBuckets buckets, but no coarser than the top one (topShift).
int ShiftFor(std::size_t count, std::size_t maxBuckets, int topShift) {
  int shift = MinMaxPyramid::kFirstLevel;
  while (shift < topShift && (count >> shift) > maxBuckets) ++shift;
  return shift;
}

}  // namespace

bool MinMaxPyramid::NeedsRecords(std::size_t count, std::size_t maxBuckets) {
  return count <= 2 * maxBuckets || ShiftFor(count, maxBuckets, kKeptLevel) < kKeptLevel;
}

void MinMaxPyramid::Points(const FlightColumn& span, std::size_t spanFirst, const FlightTimes& times,
                           std::size_t first, std::size_t last, std::size_t maxBuckets,
                           std::vector<double>* keys, std::vector<double>* points) const {
  keys->clear();
  points->clear();
  last = std::min(last, m_size);
  if (first >= last) return;
  const std::size_t count = last - first;
  const bool haveSpan = first >= spanFirst && last <= spanFirst + span.size();
  const int top = kKeptLevel + static_cast<int>(m_levels.size()) - 1;
  int shift = ShiftFor(count, maxBuckets, top);
  if (count <= 2 * maxBuckets && haveSpan) {
    keys->reserve(count);
    points->reserve(count);
    for (std::size_t i = first; i < last; ++i) {
      keys->push_back(times[i]);
      points->push_back(span[i - spanFirst]);
    }
    return;
  }
  // Without the records, the finest level kept stands in: coarser, every peak still there.
  if (!haveSpan || count <= 2 * maxBuckets) shift = std::max(shift, kKeptLevel);
  const std::size_t b0 = first >> shift, b1 = ((last - 1) >> shift) + 1;
  keys->reserve((b1 - b0) * 2);
  points->reserve((b1 - b0) * 2);
  std::vector<float> values;
  for (std::size_t b = b0; b < b1; ++b) {
    std::pair<float, float> mm;
    if (shift < kKeptLevel) {
      const std::size_t from = b << shift, to = std::min(m_size, (b + 1) << shift);
      if (from < spanFirst || to > spanFirst + span.size()) {
        // The bucket reaches beyond the span read: only its part in the span.
        const std::size_t a = std::max(from, spanFirst), z = std::min(to, spanFirst + span.size());
        values.resize(z - a);
        span.CopyTo(a - spanFirst, z - a, values.data());
        mm = BucketMinMax(values.data(), values.size(), shift);
      } else {
        values.resize(to - from);
        span.CopyTo(from - spanFirst, to - from, values.data());
        mm = BucketMinMax(values.data(), values.size(), shift);
      }
    } else {
      const std::vector<float>& level = m_levels[static_cast<std::size_t>(shift - kKeptLevel)];
      if (2 * b + 1 >= level.size()) break;
      mm = {level[2 * b], level[2 * b + 1]};
    }
    const double key = times[std::max(first, b << shift)];
    keys->push_back(key);
    points->push_back(mm.first);
    keys->push_back(key);
    points->push_back(mm.second);
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
