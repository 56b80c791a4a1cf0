#pragma once
// The flight software's telemetry: plausible values that move with time.
// Sticks, heading, altitude and attitude are functions of the clock; the GPS
// position jitters, and satellites and PDOP drift, by a seeded random walk,
// one step per sentence.

#include <array>
#include <cstdint>
#include <random>

#include "sim/SimOptions.h"
#include "sim/SimWire.h"

namespace apdesk::sim {

// Seeded randomness that gives the same values on every platform.
class Rng {
 public:
  explicit Rng(std::uint32_t seed) : m_gen(seed) {}
  double Uniform() { return static_cast<double>(m_gen()) / 4294967296.0; }  // [0, 1)
  int Range(int lo, int hi) { return lo + static_cast<int>(Uniform() * (hi - lo + 1)); }
  bool Chance(double share) { return share > 0.0 && Uniform() < share; }

 private:
  std::mt19937 m_gen;
};

struct Sticks {
  std::uint8_t rudder, aileron, elevator, throttle;
};

class StatusModel {
 public:
  explicit StatusModel(const SimOptions& options);

  // The next sentence's values at elapsedMs after start.
  StatusFields Next(std::int64_t elapsedMs, Rng& rng);

  Sticks SticksAt(std::int64_t elapsedMs) const;
  double HeadingAt(std::int64_t elapsedMs) const;  // radians, 0 to 2 pi

  // Calibration: the sticks' positions at this moment become their centres.
  void Calibrate(std::int64_t elapsedMs);
  std::array<std::uint8_t, 3> Centres() const { return m_centres; }

  void SetCompassMode(bool on, std::int64_t elapsedMs);
  bool CompassMode() const { return m_compassMode; }

  void SetCaptured(bool captured) { m_captured = captured; }
  bool Captured() const { return m_captured; }

  // The two installation-error angles the controller reports when asked now.
  std::array<float, 2> InstallError(std::int64_t elapsedMs) const;

 private:
  SimOptions m_options;
  std::array<double, 4> m_phases{};
  std::array<std::uint8_t, 3> m_centres{128, 128, 128};
  int m_satellites = 11;
  int m_pdop = 12;
  std::uint32_t m_sequence = 0;
  bool m_compassMode = false;
  bool m_captured = false;
  double m_headingAnchor = 1.2;        // heading when the current motion began
  std::int64_t m_headingAnchorMs = 0;  // and when that was
};

}  // namespace apdesk::sim
