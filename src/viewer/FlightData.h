#pragma once
// A flight record as the viewer shows it, in plain C++: a summary for the
// list of files, the track in a local projection, each record's time, and
// min/max levels of the plotted values, read in one streaming pass; the
// values of single records are read again from the file for the part shown
// when zoomed in far. Text is made only for what is on screen.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plot/PlotQuantities.h"
#include "recorder/RecordFile.h"

namespace apdesk {

// The recorder's one flight summary (recorder/RecordFile.h), as numbers.
struct FlightSummary {
  std::size_t records = 0;
  std::size_t skipped = 0;        // damaged records
  std::size_t trailingBytes = 0;  // a cut-off tail
  std::size_t fileBytes = 0;
  std::size_t fixes = 0;
  std::optional<long long> startUtc, endUtc;  // of the records with a valid time
  double distanceMetres = 0;                  // along the fixes, GPS noise left out
  std::optional<double> highestAltitude;      // metres as shown
  std::optional<double> lowestVolts, highestVolts;
};

// The summary of the file list, streamed; false, with the reason, when the
// file cannot be read.
bool SummariseFlightFile(const std::string& path, FlightSummary* summary, std::string* error);

// Larger files are refused: their columns would not fit a desktop's memory
// (apctl record export streams them instead).
inline constexpr std::size_t kMaxViewerRecords = 10'000'000;

// The plotted values of one record: what the sentence carries as small
// integers stays so (readings are turned into the plotted numbers when read),
// the rest are floats. 28 bytes instead of twelve floats.
struct FlightRecord {
  float groundSpeed = 0;  // m/s
  float course = 0;       // degrees
  float attitudeUp = 0, attitudeLeft = 0;
  std::uint16_t altitudeReading = 0, voltageReading = 0;  // bytes 48-49 and 70-71 as they are
  std::uint8_t satellites = 0, flightStatus = 0;
  std::uint8_t rudder = 0, elevator = 0, throttle = 0, aileron = 0;
};

FlightRecord MakeFlightRecord(const StatusFields& fields);
// The quantity's value, as PlotQuantity::value gives it, as a float.
float PlottedValue(const FlightRecord& record, PlotQuantityId id);

// One quantity over all records, or a plain array of floats: what the
// plots and the thinning read. Cheap to copy; valid while its source is.
class FlightColumn {
 public:
  FlightColumn(const std::vector<float>& values)  // NOLINT: a plain column converts implicitly
      : m_values(values.data()), m_size(values.size()) {}
  FlightColumn(const std::vector<FlightRecord>& records, PlotQuantityId id)
      : FlightColumn(records.data(), records.size(), id) {}
  FlightColumn(const FlightRecord* records, std::size_t count, PlotQuantityId id)
      : m_records(records), m_size(count), m_id(id) {}

  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  float operator[](std::size_t i) const { return m_values ? m_values[i] : PlottedValue(m_records[i], m_id); }
  // Values [first, first + count) into out: one choice of quantity for all.
  void CopyTo(std::size_t first, std::size_t count, float* out) const;

  class iterator {
   public:
    iterator(const FlightColumn* column, std::size_t i) : m_column(column), m_i(i) {}
    float operator*() const { return (*m_column)[m_i]; }
    iterator& operator++() {
      ++m_i;
      return *this;
    }
    bool operator!=(const iterator& other) const { return m_i != other.m_i; }

   private:
    const FlightColumn* m_column;
    std::size_t m_i;
  };
  iterator begin() const { return {this, 0}; }
  iterator end() const { return {this, m_size}; }

 private:
  const float* m_values = nullptr;
  const FlightRecord* m_records = nullptr;
  std::size_t m_size = 0;
  PlotQuantityId m_id = PlotQuantityId::kAltitude;
};

// Each record's time, kept as runs of records within one whole second
// (a few bytes per second of flight instead of eight per record): the records
// of one second are evenly spread over it; records without a time take the
// second of the record before (or, at the start, the first known one), and a
// clock that steps back starts a run of its own.
class FlightTimes {
 public:
  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  double operator[](std::size_t i) const;
  double front() const { return (*this)[0]; }
  double back() const { return (*this)[m_size - 1]; }
  // The first record whose time is not before (LowerBound) or after
  // (UpperBound) `time`; size() when there is none. Times never go back.
  std::size_t LowerBound(double time) const;
  std::size_t UpperBound(double time) const;

  // Built record by record: the record's whole UTC second, or nothing.
  // Inline: the loader calls it for every record.
  void Add(const std::optional<long long>& second) {
    ++m_size;
    if (!second) return;  // the second of the record before, or of the first known one
    const double s = static_cast<double>(*second);
    if (!m_known) {
      m_known = true;
      m_runs.push_back({0, s});
    } else if (m_runs.back().second != s) {
      m_runs.push_back({m_size - 1, s});
    }
  }
  // False, leaving ten records a second from 0, when no record had a time.
  bool Finish();

 private:
  struct Run {
    std::size_t first;  // index of the run's first record
    double second;
  };
  std::vector<Run> m_runs;  // empty: ten records a second from 0
  std::size_t m_size = 0;
  bool m_known = false;  // a record with a time was added
};

// Min/max per bucket of 2^k records for k = 3, 4, ...: a zoomed-out plot of a
// long flight draws a few thousand points that keep every peak, instead of
// all of them. Only the levels from kKeptLevel up are kept; the finer ones
// are worked out from the records themselves, read again for the span shown.
class MinMaxPyramid {
 public:
  static constexpr int kFirstLevel = 3;
  static constexpr int kKeptLevel = 6;
  static constexpr std::size_t kKeptBucket = std::size_t{1} << kKeptLevel;

  // Built a bucket of kKeptBucket values at a time (the last may be short),
  // then Finish; or all at once with Build.
  void AddBucket(const float* values, std::size_t count);
  // Room for the buckets of `records` values at once.
  void Reserve(std::size_t records);
  // A bucket whose min and max are known (worked out as AddBucket would).
  void AddBucketMinMax(float lo, float hi, std::size_t count);
  void Finish();
  void Build(const FlightColumn& values);

  // True when the points of `count` records are worked out from the records
  // themselves rather than from the levels kept.
  static bool NeedsRecords(std::size_t count, std::size_t maxBuckets);

  // The points to draw for records [first, last): the values themselves when
  // they are at most 2 * maxBuckets, else one min and one max per bucket of
  // the finest level that has no more than maxBuckets buckets in the range.
  // `span` holds the values of records [spanFirst, spanFirst + span.size())
  // when NeedsRecords; without them the finest kept level stands in.
  void Points(const FlightColumn& span, std::size_t spanFirst, const FlightTimes& times, std::size_t first,
              std::size_t last, std::size_t maxBuckets, std::vector<double>* keys,
              std::vector<double>* points) const;

 private:
  std::size_t m_size = 0;
  std::vector<std::vector<float>> m_levels;  // level kKeptLevel + i: min, max, min, max, ...
};

// What the track covers: the records with a fix, first and last, the box
// around them (metres east and north) and the range of the colouring
// quantity over them; firstFix > lastFix when there is no fix.
struct TrackExtent {
  std::size_t firstFix = 1, lastFix = 0;
  float minEast = 0, maxEast = 0, minNorth = 0, maxNorth = 0;
  float colourLo = 0, colourHi = 0;
};

struct FlightData {
  FlightSummary summary;
  // Per record: seconds since 1970 (UTC), the records of one second evenly
  // spread over it. Without any valid time in the file: seconds from the
  // first record at ten records a second (`hasUtc` false).
  FlightTimes times;
  bool hasUtc = false;
  // Metres east and north of the first fix; NaN for records without a fix,
  // so the track has gaps there instead of points at 0,0.
  std::vector<float> east, north;
  double originLatitude = 0, originLongitude = 0;
  // What colours the track, per record: altitude as the sentence carries it,
  // ground speed in m/s.
  std::vector<std::uint16_t> altitudeReadings;
  std::vector<float> groundSpeeds;
  // Per plotted quantity: its thinning levels and its finite range (lo > hi: none).
  std::array<MinMaxPyramid, kPlotQuantityCount> levels;
  std::array<std::pair<float, float>, kPlotQuantityCount> ranges{};

  std::size_t Size() const { return times.size(); }
  // The record nearest to `time`; 0 when there are none.
  std::size_t IndexAt(double time) const;
  float TrackColour(PlotQuantityId id, std::size_t i) const;
  // The track's extent, coloured by altitude or ground speed.
  TrackExtent Extent(PlotQuantityId colourBy) const;
  // The plotted values of records [first, last), read again from the file;
  // false when it cannot be read or no longer holds them.
  bool ReadRecords(std::size_t first, std::size_t last, std::vector<FlightRecord>* out) const;

  std::string path;
  std::vector<std::uint64_t> bucketOffsets;  // file offset of record k * kKeptBucket

 private:
  // ReadRecords' reader, kept for its buffer (shared by copies; the viewer
  // reads from one thread).
  mutable std::shared_ptr<RecordReader> m_rereader;
};

bool LoadFlightFile(const std::string& path, FlightData* data, std::string* error);

// Record i's position on the globe, from its east/north; false without a fix.
bool PositionAt(const FlightData& data, std::size_t i, double* latitude, double* longitude);

}  // namespace apdesk
