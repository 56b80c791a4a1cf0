#include "sim/StatusModel.h"

#include <algorithm>
#include <cmath>

namespace apdesk::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
// Compass check: the operator turns the aircraft at 30 degrees a second.
constexpr double kCompassTurnRadPerS = 30.0 * kPi / 180.0;
// Flight statuses the controller goes through, 20 s each.
constexpr std::array<std::uint8_t, 6> kStatusCycle = {0, 1, 2, 6, 15, 11};

double Wrap(double radians) {
  double r = std::fmod(radians, kTwoPi);
  if (r < 0) r += kTwoPi;
  return r;
}

std::uint8_t StickValue(double seconds, double period, double phase) {
  // sin cubed lingers near the centre, so the gauges turn green now and then.
  const double s = std::sin(kTwoPi * seconds / period + phase);
  return static_cast<std::uint8_t>(std::lround(128.0 + 70.0 * s * s * s));
}

}  // namespace

StatusModel::StatusModel(const SimOptions& options) : m_options(options) {
  Rng rng(options.seed ^ 0x5EEDu);
  for (double& p : m_phases) p = rng.Uniform() * kTwoPi;
}

Sticks StatusModel::SticksAt(std::int64_t elapsedMs) const {
  const double s = static_cast<double>(elapsedMs) / 1000.0;
  const double t = 75.0 + 70.0 * std::sin(kTwoPi * s / 17.0 + m_phases[3]);  // 5 to 145
  return Sticks{StickValue(s, 9.7, m_phases[0]), StickValue(s, 12.3, m_phases[1]),
                StickValue(s, 14.1, m_phases[2]), static_cast<std::uint8_t>(200 - std::lround(t))};
}

double StatusModel::HeadingAt(std::int64_t elapsedMs) const {
  const double dt = static_cast<double>(elapsedMs - m_headingAnchorMs) / 1000.0;
  if (m_compassMode) {
    const double dir = m_options.reversedCompass ? -1.0 : 1.0;
    return Wrap(m_headingAnchor + dir * kCompassTurnRadPerS * dt);
  }
  return Wrap(m_headingAnchor + 0.4 * std::sin(dt / 25.0));
}

void StatusModel::SetCompassMode(bool on, std::int64_t elapsedMs) {
  if (on == m_compassMode) return;
  m_headingAnchor = HeadingAt(elapsedMs);
  m_headingAnchorMs = elapsedMs;
  m_compassMode = on;
}

void StatusModel::Calibrate(std::int64_t elapsedMs) {
  const Sticks st = SticksAt(elapsedMs);
  m_centres = {st.rudder, st.aileron, st.elevator};
}

std::array<float, 2> StatusModel::InstallError(std::int64_t elapsedMs) const {
  const double s = static_cast<double>(elapsedMs) / 1000.0;
  return {static_cast<float>(std::round(15.0 * std::sin(s / 7.0)) / 10.0),
          static_cast<float>(std::round(-8.0 * std::cos(s / 5.0)) / 10.0)};
}

StatusFields StatusModel::Next(std::int64_t elapsedMs, Rng& rng) {
  const double s = static_cast<double>(elapsedMs) / 1000.0;
  StatusFields f;

  // GPS: a slow wander of a few metres around the start, plus jitter.
  const double wanderLat = 3e-5 * std::sin(kTwoPi * s / 70.0 + m_phases[0]);
  const double wanderLon = 3e-5 * std::sin(kTwoPi * s / 90.0 + m_phases[1]);
  f.latitude = static_cast<float>(m_options.startLatitude + wanderLat + (rng.Uniform() - 0.5) * 4e-6);
  f.longitude = static_cast<float>(m_options.startLongitude + wanderLon + (rng.Uniform() - 0.5) * 4e-6);
  // Velocities from the wander's rate of change, cm/s.
  const double vLat = 3e-5 * kTwoPi / 70.0 * std::cos(kTwoPi * s / 70.0 + m_phases[0]) * 111.32e5;
  const double vLon = 3e-5 * kTwoPi / 90.0 * std::cos(kTwoPi * s / 90.0 + m_phases[1]) * 102.8e5;
  f.velocityY = static_cast<std::uint16_t>(std::lround(std::fabs(vLat)));
  f.velocityX = static_cast<std::uint16_t>(std::lround(std::fabs(vLon)));
  if (rng.Chance(0.02)) m_satellites = std::clamp(m_satellites + rng.Range(-1, 1), 6, 16);
  if (rng.Chance(0.05)) m_pdop = std::clamp(m_pdop + rng.Range(-1, 1), 8, 25);
  f.satellites = static_cast<std::uint8_t>(m_satellites);
  f.pdopTenths = static_cast<std::uint8_t>(m_pdop);

  const UtcTime utc = ToUtc(m_options.startUtc + elapsedMs / 1000);
  f.year = static_cast<std::uint8_t>(utc.year - 2000);
  f.month = static_cast<std::uint8_t>(utc.month);
  f.day = static_cast<std::uint8_t>(utc.day);
  f.hour = static_cast<std::uint8_t>(utc.hour);
  f.minute = static_cast<std::uint8_t>(utc.minute);
  f.second = static_cast<std::uint8_t>(utc.second);

  f.course = static_cast<float>(HeadingAt(elapsedMs));
  // Altitude swings between -10 m and +20 m, so negative readings show up.
  f.altitudeTenths =
      static_cast<std::int16_t>(std::lround(50.0 + 150.0 * std::sin(kTwoPi * s / 40.0)) + rng.Range(-2, 2));
  f.attitudeUp = static_cast<std::int32_t>(std::lround(6.0 * std::sin(kTwoPi * s / 7.0)));
  f.attitudeLeft = static_cast<std::int32_t>(std::lround(4.0 * std::cos(kTwoPi * s / 11.0)));

  // Three cells from 12.6 V, 0.05 V a minute, never below 10.8 V.
  const double volts = std::max(10.8, 12.6 - 0.05 * s / 60.0) + (rng.Uniform() - 0.5) * 0.01;
  f.voltageRaw = static_cast<std::int16_t>(std::lround(volts * 4096.0 / 20.0));

  const Sticks st = SticksAt(elapsedMs);
  f.rudder = st.rudder;
  f.aileron = st.aileron;
  f.elevator = st.elevator;
  f.throttle = st.throttle;
  f.rudderCentre = m_centres[0];
  f.aileronCentre = m_centres[1];
  f.elevatorCentre = m_centres[2];

  f.flightStatus = kStatusCycle[static_cast<std::size_t>(elapsedMs / 20000) % kStatusCycle.size()];
  f.captureState = m_captured ? 99 : 0;
  f.version = m_options.firmwareVersion;
  f.sequence = m_sequence++;
  return f;
}

}  // namespace apdesk::sim
