#include "protocol/StatusSentence.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "protocol/NumberText.h"

namespace apdesk {

using namespace status_bytes;

namespace {

// |d| <= 1 is centred enough.
StickChannel CentredChannel(int position, int centre) {
  const int d = position - centre;
  return {d, (d >= -1 && d <= 1) ? kStickGreen : kStickRed};
}

StickChannel ThrottleChannel(int reading) {
  int t = 200 - reading;
  if (t == 8) t = 7;
  if (t <= 7) return {1, kStickYellow};
  if (t <= 10) return {t, kStickYellow};
  if (t >= 41 && t <= 57) return {t, kStickGreen};
  return {t, kStickRed};
}

// A direction word and the size of a signed 32-bit reading; the size is taken
// in 64 bits so that the most negative reading has a positive size too.
void AddDirection(std::string& text, std::int32_t value, const std::string& positive,
                  const std::string& negative) {
  const long long v = value;
  // As "%s" would, the word ends at a NUL.
  const std::string& word = v >= 0 ? positive : negative;
  text.append(word.c_str(), std::strlen(word.c_str()));
  char number[24];
  number[0] = ' ';
  text.append(number, PutInt(number + 1, v >= 0 ? v : -v));
}

// Text of one number written by `put` into a buffer on the stack.
template <typename Put>
std::string Text(Put put) {
  char buffer[kNumberTextRoom];
  return std::string(buffer, put(buffer));
}

// "%02d"
char* PutTwoDigits(char* at, int v) {
  if (v >= 0 && v < 10) {
    *at++ = '0';
    *at++ = static_cast<char>('0' + v);
    return at;
  }
  return PutInt(at, v);
}

}  // namespace

std::string FormatText(const char* format, ...) {
  char small[64];
  va_list args;
  va_start(args, format);
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (needed < 0) return {};
  if (static_cast<std::size_t>(needed) < sizeof small)
    return std::string(small, static_cast<std::size_t>(needed));
  std::string text(static_cast<std::size_t>(needed) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  text.resize(static_cast<std::size_t>(needed));
  return text;
}

std::array<StickChannel, 4> StickChannels(const StatusFields& f) {
  std::array<StickChannel, 4> sticks{};
  sticks[kRudder] = CentredChannel(f.rudder, f.rudderCentre);
  sticks[kAileron] = CentredChannel(f.aileron, f.aileronCentre);
  sticks[kElevator] = CentredChannel(f.elevator, f.elevatorCentre);
  sticks[kThrottle] = ThrottleChannel(f.throttle);
  return sticks;
}

StatusReading DecodeStatus(const std::uint8_t* s) {
  StatusReading r;
  r.fields = ReadStatusFields(s);
  r.flightStatusEntry = r.fields.flightStatus == 15 ? 12 : r.fields.flightStatus;
  r.sticks = StickChannels(r.fields);
  return r;
}

TelemetryView DecodeStatusSentence(const std::uint8_t* s, const AttitudeLabels& labels, bool chinese) {
  TelemetryView v;
  const StatusReading r = DecodeStatus(s);
  const StatusFields& f = v.fields = r.fields;
  v.latitudeText = Text([&](char* at) { return PutFloat6(at, f.latitude); });
  v.longitudeText = Text([&](char* at) { return PutFloat6(at, f.longitude); });
  v.altitudeText = Text([&](char* at) { return PutTenths(at, f.altitudeTenths); });
  v.courseText = Text([&](char* at) { return PutFixed(at, f.CourseDegrees(), 1); });
  v.voltageText = Text([&](char* at) { return PutVolts3(at, f.voltageRaw); });
  v.flightStatusEntry = r.flightStatusEntry;
  v.sticks = r.sticks;
  v.versionText = Text([&](char* at) { return PutInt(at, f.Version()); });
  AddDirection(v.attitudeText, f.attitudeLeft, labels.left, labels.right);
  v.attitudeText += ',';
  AddDirection(v.attitudeText, f.attitudeUp, labels.up, labels.down);
  if (f.Captured() && chinese) v.attitudeText += " 已捕获";
  v.satellitesText = Text([&](char* at) { return PutInt(at, f.satellites); });
  return v;
}

GpsView DecodeGpsFields(const std::uint8_t* s) {
  const StatusFields f = ReadStatusFields(s);
  GpsView g;
  g.longitudeText = Text([&](char* at) { return PutFloat6(at, f.longitude); });
  g.latitudeText = Text([&](char* at) { return PutFloat6(at, f.latitude); });
  g.headingDegrees = static_cast<float>(f.CourseDegrees());
  g.headingText = Text([&](char* at) { return PutFixed(at, static_cast<double>(g.headingDegrees), 1); });
  g.satellitesText = Text([&](char* at) { return PutInt(at, f.satellites); });
  g.dateTimeText = Text([&](char* at) {
    // "%d-%02d-%02d %02d:%02d:%02d"
    const int parts[] = {f.month, f.day, f.hour, f.minute, f.second};
    const char separators[] = "-- ::";
    at = PutInt(at, f.year);
    for (std::size_t i = 0; i < std::size(parts); ++i) {
      *at++ = separators[i];
      at = PutTwoDigits(at, parts[i]);
    }
    return at;
  });
  g.pdopText = Text([&](char* at) { return PutTenths(at, f.pdopTimes10); });
  g.velocityXText = Text([&](char* at) { return std::strcpy(PutInt(at, f.velocityX), " cm/s") + 5; });
  g.velocityYText = Text([&](char* at) { return std::strcpy(PutInt(at, f.velocityY), " cm/s") + 5; });
  return g;
}

InstallError ReadInstallError(const std::uint8_t* s14) {
  return {FloatAt(s14, 4), FloatAt(s14, 8)};
}

const char* StickColourName(std::uint32_t argb) {
  switch (argb) {
    case kStickGreen:
      return "green";
    case kStickRed:
      return "red";
    case kStickYellow:
      return "yellow";
    default:
      return "other";
  }
}

std::string FormatInstallError(std::string_view buttonText, const std::uint8_t* s14) {
  const InstallError e = ReadInstallError(s14);
  std::string text(buttonText);
  text += FormatText("[%.1lf,%.1lf]", static_cast<double>(e.first), static_cast<double>(e.second));
  return text;
}

}  // namespace apdesk
