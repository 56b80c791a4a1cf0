#pragma once
// The distance flown along a track of GPS fixes, without adding up the
// receiver's noise: a leg is counted only once the position has moved more
// than a noise radius from the last counted point. Standing still with
// jittering fixes stays near 0; a straight line keeps its length (less at
// most one radius at its end).

namespace apdesk {

class TrackDistance {
 public:
  // Larger than a hovering receiver's wander, far smaller than a flight.
  static constexpr double kNoiseRadiusMetres = 10.0;

  // One fix, in degrees.
  void Add(double latitude, double longitude);
  double Metres() const { return m_metres; }

  // Great-circle distance in metres.
  static double Between(double lat1, double lon1, double lat2, double lon2);

 private:
  bool m_started = false;
  double m_lat = 0, m_lon = 0;  // the last counted point
  double m_cosLat = 1;          // |cos| of its latitude
  double m_metres = 0;
};

}  // namespace apdesk
