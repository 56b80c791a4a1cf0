#pragma once
// Decoding the telemetry sentence "$STP" (99 bytes) and the installation-error
// sentence "$TBS" (14 bytes) into what the windows and apctl show, already
// formatted. Texts are UTF-8. The callers have checked the sums (the parser
// hands out only sentences whose sum holds).
//
// Byte order is little-endian except the two big-endian velocity fields;
// floats are 32-bit IEEE 754.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace apdesk {

// Stick colours, ARGB with alpha in the top byte.
inline constexpr std::uint32_t kStickGreen = 0xFF00FF00u;
inline constexpr std::uint32_t kStickRed = 0xFFFF0000u;
inline constexpr std::uint32_t kStickYellow = 0xFFFFFF00u;

// "green", "red", "yellow" or "other": the colour's name in exported text.
const char* StickColourName(std::uint32_t argb);

// Where the stick panel keeps each channel: rudder, elevator, throttle, aileron.
enum StickIndex : int { kRudder = 0, kElevator = 1, kThrottle = 2, kAileron = 3 };

struct StickChannel {
  int value = 0;
  std::uint32_t argb = kStickGreen;
};

// The direction words of the attitude text: "LID_PUB_Left", "LID_PUB_Right",
// "LID_PUB_Up", "LID_PUB_Down" of the window's language, or these defaults
// when no language file is in effect.
struct AttitudeLabels {
  std::string left = "L";
  std::string right = "R";
  std::string up = "U";
  std::string down = "D";
};

// The fields of "$STP", read as they are.
struct StatusFields {
  float latitude = 0;                                        // degrees (bytes 4-7)
  float longitude = 0;                                       // degrees (bytes 8-11)
  float courseRadians = 0;                                   // bytes 20-23
  int satellites = 0;                                        // byte 24
  int year = 2000;                                           // 2000 + byte 25
  int month = 0, day = 0, hour = 0, minute = 0, second = 0;  // bytes 26-30
  int rudder = 0, aileron = 0, elevator = 0, throttle = 0;   // bytes 32, 33, 34, 35
  int altitudeTenths = 0;                                    // bytes 48-49, signed reading (SignedReading16)
  int velocityX = 0;                                         // cm/s, bytes 50-51 big-endian, unsigned
  int pdopTimes10 = 0;                                       // byte 55
  std::int32_t attitudeUp = 0;                               // bytes 62-65: up (+) or down (-), "A"
  std::int32_t attitudeLeft = 0;                             // bytes 66-69: left (+) or right (-), "B"
  int voltageRaw = 0;    // bytes 70-71, signed reading, units of 20/4096 V
  int flightStatus = 0;  // byte 75
  int rudderCentre = 0, aileronCentre = 0, elevatorCentre = 0;  // bytes 80, 81, 82
  int captureState = 0;                                         // byte 92; 99 = installation error captured
  int velocityY = 0;                                            // cm/s, bytes 94-95 big-endian, unsigned
  int versionRaw = 0;                                           // bytes 96-97

  double AltitudeShown() const { return altitudeTenths / 10.0; }
  double CourseDegrees() const { return courseRadians * 180.0 / 3.14159265; }
  double Volts() const { return voltageRaw * 20 / 4096.0; }
  int Version() const { return 100000 + versionRaw; }
  double Pdop() const { return pdopTimes10 / 10.0; }
  bool Captured() const { return captureState == 99; }
};

// What one "$STP" means, straight from its bytes: no text, nothing
// allocated. Text is made from it only where it is shown.
struct StatusReading {
  StatusFields fields;
  // Entry of the flight-status list 1021 to select: byte 75, except 15 -> 12.
  int flightStatusEntry = 0;
  // Stick panel channels, indexed by StickIndex.
  std::array<StickChannel, 4> sticks{};
};

// What the main window shows for one "$STP".
struct TelemetryView {
  StatusFields fields;
  std::string latitudeText;    // control 1146, "%.6lf"
  std::string longitudeText;   // control 1145, "%.6lf"
  std::string altitudeText;    // control 1147, "%.1lf"
  std::string courseText;      // control 1148, degrees "%.1lf"
  std::string voltageText;     // control 1152, "%.3lf"
  std::string versionText;     // control 1141, "%d"
  std::string attitudeText;    // control 1143, e.g. "L 3,D 5" (+ " 已捕获")
  std::string satellitesText;  // control 1142, "%d"
  // Entry of the flight-status list 1021 to select: byte 75, except 15 -> 12.
  // The window leaves the list without a selection when it has no such entry.
  int flightStatusEntry = 0;
  // Stick panel channels, indexed by StickIndex.
  std::array<StickChannel, 4> sticks{};
};

// What the GPS/compass check window shows for one "$STP".
struct GpsView {
  std::string longitudeText;   // 1018, "%.6lf"
  std::string latitudeText;    // 1007, "%.6lf"
  std::string headingText;     // 1020, "%.1lf" of headingDegrees
  std::string satellitesText;  // 1019, "%d"
  std::string dateTimeText;    // 1021, "%d-%02d-%02d %02d:%02d:%02d"
  std::string pdopText;        // 1022, "%.1lf"
  std::string velocityXText;   // 1023, "%d cm/s"
  std::string velocityYText;   // 1024, "%d cm/s"
  float headingDegrees = 0;    // radians x 180 / 3.14159265, as a float (the dial)
};

// The stick panel's four channels (value and colour, indexed by StickIndex).
std::array<StickChannel, 4> StickChannels(const StatusFields& fields);

// The 16-bit signed reading: v above 32768 is v - 65536; 32768 stays +32768.
inline int SignedReading16(std::uint16_t v) {
  return v > 32768 ? static_cast<int>(v) - 65536 : static_cast<int>(v);
}

// The sentence's multi-byte fields, little-endian unless named otherwise.
namespace status_bytes {

inline float FloatAt(const std::uint8_t* s, std::size_t at) {
  const std::uint32_t bits = static_cast<std::uint32_t>(s[at]) | static_cast<std::uint32_t>(s[at + 1]) << 8 |
                             static_cast<std::uint32_t>(s[at + 2]) << 16 |
                             static_cast<std::uint32_t>(s[at + 3]) << 24;
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline std::uint16_t U16At(const std::uint8_t* s, std::size_t at) {
  return static_cast<std::uint16_t>(s[at] | s[at + 1] << 8);
}

inline std::uint16_t U16BigEndianAt(const std::uint8_t* s, std::size_t at) {
  return static_cast<std::uint16_t>(s[at] << 8 | s[at + 1]);
}

inline std::int32_t S32At(const std::uint8_t* s, std::size_t at) {
  const std::uint32_t bits = static_cast<std::uint32_t>(s[at]) | static_cast<std::uint32_t>(s[at + 1]) << 8 |
                             static_cast<std::uint32_t>(s[at + 2]) << 16 |
                             static_cast<std::uint32_t>(s[at + 3]) << 24;
  return static_cast<std::int32_t>(bits);
}

}  // namespace status_bytes

// `s` points to kStatusSentenceLength bytes. Inline: the record tools read
// every record with it, and a reader that needs a few fields then costs
// only those.
inline StatusFields ReadStatusFields(const std::uint8_t* s) {
  using namespace status_bytes;
  StatusFields f;
  f.latitude = FloatAt(s, 4);
  f.longitude = FloatAt(s, 8);
  f.courseRadians = FloatAt(s, 20);
  f.satellites = s[24];
  f.year = 2000 + s[25];
  f.month = s[26];
  f.day = s[27];
  f.hour = s[28];
  f.minute = s[29];
  f.second = s[30];
  f.rudder = s[32];
  f.aileron = s[33];
  f.elevator = s[34];
  f.throttle = s[35];
  f.altitudeTenths = SignedReading16(U16At(s, 48));
  f.velocityX = U16BigEndianAt(s, 50);
  f.pdopTimes10 = s[55];
  f.attitudeUp = S32At(s, 62);
  f.attitudeLeft = S32At(s, 66);
  f.voltageRaw = SignedReading16(U16At(s, 70));
  f.flightStatus = s[75];
  f.rudderCentre = s[80];
  f.aileronCentre = s[81];
  f.elevatorCentre = s[82];
  f.captureState = s[92];
  f.velocityY = U16BigEndianAt(s, 94);
  f.versionRaw = U16At(s, 96);
  return f;
}

StatusReading DecodeStatus(const std::uint8_t* s);

// `chinese`: the window's language manager runs in Chinese; with byte 92 = 99
// the attitude text then ends in " 已捕获".
TelemetryView DecodeStatusSentence(const std::uint8_t* s, const AttitudeLabels& labels, bool chinese);

GpsView DecodeGpsFields(const std::uint8_t* s);

// "$TBS": the two values of bytes 4-7 and 8-11.
struct InstallError {
  float first = 0;
  float second = 0;
};

// `s14` points to kInstallErrorSentenceLength bytes.
InstallError ReadInstallError(const std::uint8_t* s14);

// The message shown for "$TBS": the current text of button 1002 followed by
// "[%.1lf,%.1lf]", e.g. "Capture Installation error[1.5,-0.3]".
std::string FormatInstallError(std::string_view buttonText, const std::uint8_t* s14);

// printf-style formatting into a std::string (any length).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace apdesk
