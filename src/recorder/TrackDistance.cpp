#include "recorder/TrackDistance.h"

#include <cmath>

namespace apdesk {

namespace {
constexpr double kEarthRadius = 6371000.0;
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
}  // namespace

double TrackDistance::Between(double lat1, double lon1, double lat2, double lon2) {
  const double p1 = lat1 * kRadiansPerDegree, p2 = lat2 * kRadiansPerDegree;
  const double dp = p2 - p1, dl = (lon2 - lon1) * kRadiansPerDegree;
  const double a =
      std::sin(dp / 2) * std::sin(dp / 2) + std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
  return 2 * kEarthRadius * std::asin(std::sqrt(std::fmin(1.0, a)));
}

void TrackDistance::Add(double latitude, double longitude) {
  // A fix that is no position (a broken record's NaN) counts nothing.
  if (!std::isfinite(latitude) || !std::isfinite(longitude)) return;
  if (!m_started) {
    m_started = true;
    m_lat = latitude;
    m_lon = longitude;
    m_cosLat = std::fabs(std::cos(latitude * kRadiansPerDegree));
    return;
  }
  // Going north-south and then east-west is never shorter than the great
  // circle, so a fix within the radius that way is within it for sure: no
  // trigonometry for the many fixes of a slow or hovering flight.
  const double path =
      kEarthRadius * (std::fabs(latitude - m_lat) + std::fabs(longitude - m_lon)) * kRadiansPerDegree;
  if (path < kNoiseRadiusMetres * 0.999) return;
  // A closer bound, still never below the great circle: haversine's
  // sin^2(x) <= x^2, the cosine of the new latitude at most that of the last
  // counted point plus the change, and asin(s) <= s / sqrt(1 - s^2). Most
  // fixes within the radius end here, without sines and cosines.
  const double halfLat = (latitude - m_lat) * kRadiansPerDegree / 2;
  const double halfLon = (longitude - m_lon) * kRadiansPerDegree / 2;
  const double cosBound = std::fmin(1.0, m_cosLat + 2 * std::fabs(halfLat));
  const double a = halfLat * halfLat + m_cosLat * cosBound * halfLon * halfLon;
  const double within = kNoiseRadiusMetres * 0.999 / (2 * kEarthRadius);
  if (a < 1 && a < within * within * (1 - a)) return;
  const double leg = Between(m_lat, m_lon, latitude, longitude);
  if (leg <= kNoiseRadiusMetres) return;
  m_metres += leg;
  m_lat = latitude;
  m_lon = longitude;
  m_cosLat = std::fabs(std::cos(latitude * kRadiansPerDegree));
}

}  // namespace apdesk
