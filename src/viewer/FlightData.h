#pragma once
// A flight record as the viewer shows it, in plain C++: a summary for the
// list of files, and compact numeric columns (one value per record and
// plotted quantity, a time key and the track in a local projection) read in
// one streaming pass. Text is made only for what is on screen.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plot/PlotQuantities.h"
#include "recorder/RecordFile.h"

namespace apdesk {

struct FlightSummary {
  std::size_t records = 0;
  std::size_t skipped = 0;        // damaged records
  std::size_t trailingBytes = 0;  // a cut-off tail
  std::size_t fileBytes = 0;
  std::size_t fixes = 0;
  std::optional<long long> startUtc, endUtc;  // of the records with a valid time
  double distanceMetres = 0;                  // along the fixes
  std::optional<double> highestAltitude;      // metres as shown
  std::optional<double> lowestVolts;
};

// The summary of the file list, streamed; false, with the reason, when the
// file cannot be read.
bool SummariseFlightFile(const std::string& path, FlightSummary* summary, std::string* error);

// Larger files are refused: their columns would not fit a desktop's memory
// (apctl record export streams them instead).
inline constexpr std::size_t kMaxViewerRecords = 10'000'000;

struct FlightData {
  FlightSummary summary;
  // Per record: seconds since 1970 (UTC), the records of one second evenly
  // spread over it. Without any valid time in the file: seconds from the
  // first record at ten records a second (`hasUtc` false).
  std::vector<double> times;
  bool hasUtc = false;
  std::array<std::vector<float>, kPlotQuantityCount> columns;  // indexed by PlotQuantityId
  // Metres east and north of the first fix; NaN for records without a fix,
  // so the track has gaps there instead of points at 0,0.
  std::vector<float> east, north;
  double originLatitude = 0, originLongitude = 0;

  std::size_t Size() const { return times.size(); }
  // The record nearest to `time`; 0 when there are none.
  std::size_t IndexAt(double time) const;
  const std::vector<float>& Column(PlotQuantityId id) const { return columns[static_cast<std::size_t>(id)]; }
};

bool LoadFlightFile(const std::string& path, FlightData* data, std::string* error);

// Record i's position on the globe, from its east/north; false without a fix.
bool PositionAt(const FlightData& data, std::size_t i, double* latitude, double* longitude);

// `seconds` holds each record's whole UTC second or NaN when it has none.
// Records without one take the second of the record before (or, at the start,
// the first known one); then the records of each second are spread evenly
// over it. False, leaving ten a second from 0, when no record has a time.
bool SpreadWithinSeconds(std::vector<double>& seconds);

// Min/max per bucket of 2^k records for k = 3, 4, ...: a zoomed-out plot of a
// long flight draws a few thousand points that keep every peak, instead of
// all of them.
class MinMaxPyramid {
 public:
  void Build(const std::vector<float>& values);

  // The points to draw for records [first, last): the values themselves when
  // they are at most 2 * maxBuckets, else one min and one max per bucket of
  // the finest level that has no more than maxBuckets buckets in the range.
  void Points(const std::vector<float>& values, const std::vector<double>& times, std::size_t first,
              std::size_t last, std::size_t maxBuckets, std::vector<double>* keys,
              std::vector<double>* points) const;

 private:
  static constexpr int kFirstLevel = 3;
  std::vector<std::vector<float>> m_levels;  // level kFirstLevel + i: min, max, min, max, ...
};

}  // namespace apdesk
