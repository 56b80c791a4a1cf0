#include "sim/SimWire.h"

#include <cstring>

namespace apdesk::sim {

std::uint8_t ByteSum(const std::uint8_t* data, std::size_t size) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < size; ++i) sum += data[i];
  return static_cast<std::uint8_t>(sum & 0xFF);
}

void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFF);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU16Be(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v & 0xFF);
}

void PutS32(std::uint8_t* p, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

void PutF32(std::uint8_t* p, float v) {
  std::uint32_t u;
  static_assert(sizeof(u) == sizeof(v));
  std::memcpy(&u, &v, sizeof(u));
  PutS32(p, static_cast<std::int32_t>(u));
}

std::int32_t GetS32(const std::uint8_t* p) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return static_cast<std::int32_t>(u);
}

StatusSentence EncodeStatus(const StatusFields& f) {
  StatusSentence s{};
  std::memcpy(s.data(), "$STP", 4);
  PutF32(&s[4], f.latitude);
  PutF32(&s[8], f.longitude);
  // 12-19: ground speed and climb rate in the controller's own units.
  PutF32(&s[12], static_cast<float>(f.velocityX) / 100.0f);
  PutF32(&s[16], static_cast<float>(f.altitudeTenths) / 10.0f);
  PutF32(&s[20], f.course);
  s[24] = f.satellites;
  s[25] = f.year;
  s[26] = f.month;
  s[27] = f.day;
  s[28] = f.hour;
  s[29] = f.minute;
  s[30] = f.second;
  s[31] = static_cast<std::uint8_t>(f.sequence & 0xFF);
  s[32] = f.rudder;
  s[33] = f.aileron;
  s[34] = f.elevator;
  s[35] = f.throttle;
  PutU16(&s[48], static_cast<std::uint16_t>(f.altitudeTenths));
  PutU16Be(&s[50], f.velocityX);
  s[55] = f.pdopTenths;
  PutS32(&s[56], static_cast<std::int32_t>(f.sequence));
  PutS32(&s[62], f.attitudeUp);
  PutS32(&s[66], f.attitudeLeft);
  PutU16(&s[70], static_cast<std::uint16_t>(f.voltageRaw));
  s[75] = f.flightStatus;
  s[80] = f.rudderCentre;
  s[81] = f.aileronCentre;
  s[82] = f.elevatorCentre;
  s[92] = f.captureState;
  PutU16Be(&s[94], f.velocityY);
  PutU16(&s[96], f.version);
  s[98] = ByteSum(s.data(), 98);
  return s;
}

ParameterSentence EncodeParameters(const ParameterSentence& state) {
  ParameterSentence s = state;
  std::memcpy(s.data(), "$PAR", 4);
  s[44] = ByteSum(s.data(), 44);
  return s;
}

InstallErrorSentence EncodeInstallError(float first, float second) {
  InstallErrorSentence s{};
  std::memcpy(s.data(), "$TBS", 4);
  PutF32(&s[4], first);
  PutF32(&s[8], second);
  s[12] = 1;  // the capture succeeded
  s[13] = ByteSum(s.data(), 13);
  return s;
}

Report MakeUpgradeReport(std::uint8_t code, std::int32_t argument, const std::uint8_t* payload) {
  Report r{};
  r[0] = code;
  PutS32(&r[2], argument);
  if (payload != nullptr) std::memcpy(&r[6], payload, kBlockSize);
  SealReport(r);
  return r;
}

void SealReport(Report& report) {
  report[63] = ByteSum(report.data(), 63);
}

bool ReportSumOk(const std::uint8_t* report) {
  return ByteSum(report, 63) == report[63];
}

UtcTime ToUtc(std::int64_t unixSeconds) {
  std::int64_t days = unixSeconds / 86400;
  std::int64_t rest = unixSeconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Days since 1970-01-01 to a civil date (proleptic Gregorian).
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  return UtcTime{static_cast<int>(y),
                 static_cast<int>(m),
                 static_cast<int>(d),
                 static_cast<int>(rest / 3600),
                 static_cast<int>(rest / 60 % 60),
                 static_cast<int>(rest % 60)};
}

}  // namespace apdesk::sim
