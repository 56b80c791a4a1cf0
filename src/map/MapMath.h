#pragma once
// Web Mercator for the map: latitude/longitude to world pixels and tiles at
// zoom z (256-pixel tiles, y down from the north), the tiles covering a box
// or a track at a span of zooms, counted before anything is fetched, and
// distance and bearing on the sphere. Plain C++.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace apdesk::map {

inline constexpr int kTileSize = 256;
// Where the square world of Web Mercator ends; latitudes beyond are clamped.
inline constexpr double kMaxLatitude = 85.0511287798066;
inline constexpr int kMaxZoom = 22;
inline constexpr double kEarthRadiusMetres = 6371008.8;     // mean radius, for distances
inline constexpr double kMercatorRadiusMetres = 6378137.0;  // the projection's own

struct LatLon {
  double lat = 0;
  double lon = 0;
};

// Pixels from the world's north-west corner at a zoom (may be fractional).
struct WorldPoint {
  double x = 0;
  double y = 0;
};

struct TileId {
  int z = 0;
  int x = 0;
  int y = 0;
  friend bool operator==(const TileId&, const TileId&) = default;
  friend auto operator<=>(const TileId&, const TileId&) = default;
};

// 256 * 2^zoom.
double WorldSize(double zoom);
// The latitude clamped to the square world, the longitude wrapped to -180..180.
WorldPoint ToWorld(LatLon p, double zoom);
LatLon FromWorld(WorldPoint w, double zoom);
TileId TileAt(LatLon p, int zoom);
// Ground metres one pixel covers at a latitude and zoom.
double MetresPerPixel(double lat, double zoom);

// Great-circle distance in metres and initial bearing in degrees (0 = north,
// clockwise, 0 <= b < 360).
double DistanceMetres(LatLon a, LatLon b);
double BearingDegrees(LatLon from, LatLon to);
// The point `metres` away from `from` on the bearing.
LatLon Destination(LatLon from, double bearingDegrees, double metres);

// A box S,W,N,E in degrees. West greater than east is a box across the
// antimeridian (e.g. 50,179,52,-179).
struct Box {
  double south = 0, west = 0, north = 0, east = 0;
};
// Parses "S,W,N,E": four finite numbers, latitudes within -90..90 and south
// below north, longitudes within -180..180. False with the reason otherwise.
bool ParseBox(std::string_view text, Box* box, std::string* error);

// "A" or "A-B" with 0 <= A <= B <= kMaxZoom.
bool ParseZoomSpan(std::string_view text, int* first, int* last, std::string* error);

// A rectangle of tiles at one zoom, both ends included.
struct TileRange {
  int z = 0, x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  std::uint64_t Count() const {
    return static_cast<std::uint64_t>(x1 - x0 + 1) * static_cast<std::uint64_t>(y1 - y0 + 1);
  }
};

// The tile rectangles covering a box at zoom z: two when it crosses the
// antimeridian; poles beyond kMaxLatitude are clamped to the last row.
std::vector<TileRange> RangesOf(const Box& box, int zoom);

// What a fetch or export covers: tile rectangles (of a box) or a list of
// tiles (along a track), counted without listing them.
class TileCover {
 public:
  static TileCover OfBox(const Box& box, int first, int last);
  // The tiles under each point of a track and their eight neighbours, so
  // the view around the path is there too.
  static TileCover OfTrack(const std::vector<LatLon>& track, int first, int last);

  std::uint64_t Count() const;
  // Calls f(TileId) for every tile, zoom by zoom, until it returns false.
  template <typename F>
  void ForEach(F&& f) const {
    for (const TileRange& r : m_ranges)
      for (int x = r.x0; x <= r.x1; ++x)
        for (int y = r.y0; y <= r.y1; ++y)
          if (!f(TileId{r.z, x, y})) return;
    for (const TileId& t : m_tiles)
      if (!f(t)) return;
  }
  // The box the cover spans (for an export's bounds).
  Box Bounds() const { return m_bounds; }

 private:
  std::vector<TileRange> m_ranges;
  std::vector<TileId> m_tiles;  // sorted, unique
  Box m_bounds;
};

// A tile's URL from a template with {z}, {x} and {y}.
std::string TileUrl(std::string_view urlTemplate, TileId t);
// MBTiles keeps rows in TMS order: row = 2^z - 1 - y (its own inverse).
int TmsRow(TileId t);

// What a tile body is, judged by its bytes: a whole PNG, JPEG or WebP image,
// or nothing to keep (an HTML page, garbage, a body cut short).
enum class TileImage { None, Png, Jpeg, Webp };
TileImage JudgeTileImage(const std::uint8_t* data, std::size_t size);
const char* TileImageFormat(TileImage kind);  // "png", "jpg", "webp", ""

// How long a stored tile stays fresh, from the answer's headers: no-store
// (never kept), max-age, else Expires, else a day. Times in seconds since 1970;
// `expiresUtc` < 0 when the answer had none or it did not parse.
struct Freshness {
  bool store = true;
  long long freshUntil = 0;
};
Freshness FreshnessOf(std::string_view cacheControl, long long expiresUtc, long long nowUtc);
inline constexpr long long kDefaultFreshSeconds = 24 * 3600;

// Seconds to wait before asking again for a tile after `failures` failed
// answers in a row: 30 s doubling up to a day.
long long RetryDelaySeconds(int failures);

}  // namespace apdesk::map
