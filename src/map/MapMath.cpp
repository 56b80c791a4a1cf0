#include "map/MapMath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace apdesk::map {

namespace {

constexpr double kPi = std::numbers::pi;

double Radians(double d) {
  return d * kPi / 180.0;
}
double Degrees(double r) {
  return r * 180.0 / kPi;
}

double WrapLongitude(double lon) {
  if (lon >= -180.0 && lon <= 180.0) return lon;
  double w = std::fmod(lon + 180.0, 360.0);
  if (w < 0) w += 360.0;
  return w - 180.0;
}

bool ParseNumber(std::string_view text, double* value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return false;
  if (text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(*value);
}

bool ParseInt(std::string_view text, int* value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

int ClampIndex(double v, int n) {
  return std::clamp(static_cast<int>(std::floor(v)), 0, n - 1);
}

}  // namespace

double WorldSize(double zoom) {
  return kTileSize * std::exp2(zoom);
}

WorldPoint ToWorld(LatLon p, double zoom) {
  const double size = WorldSize(zoom);
  const double lat = std::clamp(p.lat, -kMaxLatitude, kMaxLatitude);
  const double lon = WrapLongitude(p.lon);
  const double s = std::sin(Radians(lat));
  WorldPoint w;
  w.x = (lon + 180.0) / 360.0 * size;
  w.y = (0.5 - std::log((1 + s) / (1 - s)) / (4 * kPi)) * size;
  return w;
}

LatLon FromWorld(WorldPoint w, double zoom) {
  const double size = WorldSize(zoom);
  LatLon p;
  p.lon = w.x / size * 360.0 - 180.0;
  const double n = kPi - 2 * kPi * w.y / size;
  p.lat = Degrees(std::atan(std::sinh(n)));
  return p;
}

TileId TileAt(LatLon p, int zoom) {
  const WorldPoint w = ToWorld(p, zoom);
  const int n = 1 << zoom;
  return TileId{zoom, ClampIndex(w.x / kTileSize, n), ClampIndex(w.y / kTileSize, n)};
}

double MetresPerPixel(double lat, double zoom) {
  const double l = std::clamp(lat, -kMaxLatitude, kMaxLatitude);
  return 2 * kPi * kMercatorRadiusMetres * std::cos(Radians(l)) / WorldSize(zoom);
}

double DistanceMetres(LatLon a, LatLon b) {
  const double dLat = Radians(b.lat - a.lat);
  const double dLon = Radians(b.lon - a.lon);
  const double h = std::sin(dLat / 2) * std::sin(dLat / 2) + std::cos(Radians(a.lat)) *
                                                                 std::cos(Radians(b.lat)) *
                                                                 std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

double BearingDegrees(LatLon from, LatLon to) {
  const double f1 = Radians(from.lat), f2 = Radians(to.lat);
  const double dl = Radians(to.lon - from.lon);
  const double y = std::sin(dl) * std::cos(f2);
  const double x = std::cos(f1) * std::sin(f2) - std::sin(f1) * std::cos(f2) * std::cos(dl);
  double b = std::fmod(Degrees(std::atan2(y, x)) + 360.0, 360.0);
  if (b >= 360.0) b = 0;
  return b;
}

LatLon Destination(LatLon from, double bearingDegrees, double metres) {
  const double d = metres / kEarthRadiusMetres;
  const double b = Radians(bearingDegrees);
  const double f1 = Radians(from.lat), l1 = Radians(from.lon);
  const double f2 = std::asin(std::sin(f1) * std::cos(d) + std::cos(f1) * std::sin(d) * std::cos(b));
  const double l2 =
      l1 + std::atan2(std::sin(b) * std::sin(d) * std::cos(f1), std::cos(d) - std::sin(f1) * std::sin(f2));
  return LatLon{Degrees(f2), WrapLongitude(Degrees(l2))};
}

bool ParseBox(std::string_view text, Box* box, std::string* error) {
  double v[4];
  for (int i = 0; i < 4; ++i) {
    const std::size_t comma = text.find(',');
    const std::string_view part = i < 3 ? text.substr(0, comma) : text;
    if ((i < 3 && comma == std::string_view::npos) || (i == 3 && text.find(',') != std::string_view::npos) ||
        !ParseNumber(part, &v[i])) {
      *error = "a box is four numbers S,W,N,E in degrees (e.g. 47.36,8.52,47.39,8.56)";
      return false;
    }
    if (i < 3) text.remove_prefix(comma + 1);
  }
  const Box b{v[0], v[1], v[2], v[3]};
  if (b.south < -90 || b.north > 90 || b.south > 90 || b.north < -90) {
    *error = "the box's latitudes must lie within -90..90";
    return false;
  }
  if (b.south >= b.north) {
    *error = "the box's south edge must lie below its north edge";
    return false;
  }
  if (b.west < -180 || b.west > 180 || b.east < -180 || b.east > 180) {
    *error = "the box's longitudes must lie within -180..180 (a box across the antimeridian has west > east)";
    return false;
  }
  if (b.west == b.east) {
    *error = "the box's west and east edges are the same";
    return false;
  }
  *box = b;
  return true;
}

bool ParseZoomSpan(std::string_view text, int* first, int* last, std::string* error) {
  const std::size_t dash = text.find('-');
  int a = 0, b = 0;
  const bool ok = dash == std::string_view::npos
                      ? ParseInt(text, &a) && (b = a, true)
                      : ParseInt(text.substr(0, dash), &a) && ParseInt(text.substr(dash + 1), &b);
  if (!ok || a < 0 || b > kMaxZoom || a > b) {
    *error = "a zoom is A or A-B with 0 <= A <= B <= " + std::to_string(kMaxZoom);
    return false;
  }
  *first = a;
  *last = b;
  return true;
}

std::vector<TileRange> RangesOf(const Box& box, int zoom) {
  std::vector<TileRange> out;
  const int n = 1 << zoom;
  const WorldPoint nw = ToWorld({box.north, box.west}, zoom);
  const WorldPoint se = ToWorld({box.south, box.east}, zoom);
  const int y0 = ClampIndex(nw.y / kTileSize, n);
  const int y1 = ClampIndex(se.y / kTileSize, n);
  // The east edge itself belongs to the tile before it, unless it is a tile's own interior.
  const int x0 = ClampIndex(nw.x / kTileSize, n);
  const int x1 = ClampIndex(std::nextafter(se.x, 0.0) / kTileSize, n);
  if (box.west <= box.east) {
    out.push_back({zoom, x0, std::max(x0, x1), y0, y1});
  } else {
    out.push_back({zoom, x0, n - 1, y0, y1});
    out.push_back({zoom, 0, x1, y0, y1});
  }
  return out;
}

TileCover TileCover::OfBox(const Box& box, int first, int last) {
  TileCover c;
  for (int z = first; z <= last; ++z)
    for (const TileRange& r : RangesOf(box, z)) c.m_ranges.push_back(r);
  c.m_bounds = box;
  return c;
}

TileCover TileCover::OfTrack(const std::vector<LatLon>& track, int first, int last) {
  TileCover c;
  if (track.empty()) return c;
  Box b{track[0].lat, track[0].lon, track[0].lat, track[0].lon};
  for (const LatLon& p : track) {
    b.south = std::min(b.south, p.lat);
    b.north = std::max(b.north, p.lat);
    b.west = std::min(b.west, p.lon);
    b.east = std::max(b.east, p.lon);
  }
  c.m_bounds = b;
  for (int z = first; z <= last; ++z) {
    const int n = 1 << z;
    std::vector<TileId> zoomTiles;
    TileId previous{-1, -1, -1};
    for (const LatLon& p : track) {
      const TileId t = TileAt(p, z);
      if (t == previous) continue;  // most points of a flight share their tile with the one before
      previous = t;
      for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
          const int y = t.y + dy;
          if (y < 0 || y >= n) continue;
          zoomTiles.push_back({z, (t.x + dx + n) % n, y});
        }
    }
    std::sort(zoomTiles.begin(), zoomTiles.end());
    zoomTiles.erase(std::unique(zoomTiles.begin(), zoomTiles.end()), zoomTiles.end());
    c.m_tiles.insert(c.m_tiles.end(), zoomTiles.begin(), zoomTiles.end());
  }
  return c;
}

std::uint64_t TileCover::Count() const {
  std::uint64_t n = m_tiles.size();
  for (const TileRange& r : m_ranges) n += r.Count();
  return n;
}

std::string TileUrl(std::string_view urlTemplate, TileId t) {
  std::string out;
  out.reserve(urlTemplate.size() + 16);
  for (std::size_t i = 0; i < urlTemplate.size(); ++i) {
    const std::string_view rest = urlTemplate.substr(i);
    if (rest.starts_with("{z}")) {
      out += std::to_string(t.z);
    } else if (rest.starts_with("{x}")) {
      out += std::to_string(t.x);
    } else if (rest.starts_with("{y}")) {
      out += std::to_string(t.y);
    } else {
      out += urlTemplate[i];
      continue;
    }
    i += 2;
  }
  return out;
}

int TmsRow(TileId t) {
  return (1 << t.z) - 1 - t.y;
}

TileImage JudgeTileImage(const std::uint8_t* d, std::size_t n) {
  static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  static constexpr std::uint8_t kIend[8] = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  if (n >= 8 + 12 + 12 && std::equal(kPng, kPng + 8, d)) {
    // A whole PNG ends with the IEND chunk; a cut-off body does not.
    return std::equal(kIend, kIend + 8, d + n - 8) ? TileImage::Png : TileImage::None;
  }
  if (n >= 4 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) {
    return d[n - 2] == 0xFF && d[n - 1] == 0xD9 ? TileImage::Jpeg : TileImage::None;
  }
  if (n >= 16 && std::equal(d, d + 4, "RIFF") && std::equal(d + 8, d + 12, "WEBP")) {
    const std::uint32_t riff = d[4] | d[5] << 8 | d[6] << 16 | static_cast<std::uint32_t>(d[7]) << 24;
    return riff + 8 == n ? TileImage::Webp : TileImage::None;
  }
  return TileImage::None;
}

const char* TileImageFormat(TileImage kind) {
  switch (kind) {
    case TileImage::Png:
      return "png";
    case TileImage::Jpeg:
      return "jpg";
    case TileImage::Webp:
      return "webp";
    case TileImage::None:
      break;
  }
  return "";
}

Freshness FreshnessOf(std::string_view cacheControl, long long expiresUtc, long long nowUtc) {
  Freshness f;
  f.freshUntil = nowUtc + kDefaultFreshSeconds;
  bool haveMaxAge = false;
  while (!cacheControl.empty()) {
    const std::size_t comma = cacheControl.find(',');
    std::string_view item = cacheControl.substr(0, comma);
    cacheControl = comma == std::string_view::npos ? std::string_view() : cacheControl.substr(comma + 1);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    std::string lower(item);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (lower == "no-store") {
      f.store = false;
    } else if (lower == "no-cache") {
      f.freshUntil = nowUtc;  // kept, but asked again (with its ETag) each time
      haveMaxAge = true;
    } else if (lower.starts_with("max-age=") && !haveMaxAge) {
      long long age = 0;
      const std::string_view v = std::string_view(lower).substr(8);
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), age);
      if (ec == std::errc() && end == v.data() + v.size() && age >= 0) {
        f.freshUntil = nowUtc + std::min(age, 365LL * 24 * 3600);
        haveMaxAge = true;
      }
    }
  }
  if (!haveMaxAge && expiresUtc >= 0) f.freshUntil = expiresUtc;
  return f;
}

long long RetryDelaySeconds(int failures) {
  if (failures <= 0) return 0;
  const long long delay = 30LL << std::min(failures - 1, 20);
  return std::min(delay, 24LL * 3600);
}

}  // namespace apdesk::map
