#pragma once
// The controller's side of the wire: the sentences it sends, the command
// frames it receives and the boot loader's reports, written from the byte
// layouts alone so that the simulator shares no code with the tool's decoders.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace apdesk::sim {

inline constexpr std::size_t kReportSize = 64;
inline constexpr std::size_t kFrameSize = 30;
inline constexpr std::size_t kStatusSize = 99;
inline constexpr std::size_t kParameterSize = 45;
inline constexpr std::size_t kInstallErrorSize = 14;
inline constexpr std::size_t kBlockSize = 56;

using Report = std::array<std::uint8_t, kReportSize>;
using StatusSentence = std::array<std::uint8_t, kStatusSize>;
using ParameterSentence = std::array<std::uint8_t, kParameterSize>;
using InstallErrorSentence = std::array<std::uint8_t, kInstallErrorSize>;

// Sum of bytes modulo 256, the check of every sentence and report.
std::uint8_t ByteSum(const std::uint8_t* data, std::size_t size);

void PutU16(std::uint8_t* p, std::uint16_t v);    // little-endian
void PutU16Be(std::uint8_t* p, std::uint16_t v);  // the two velocity fields
void PutS32(std::uint8_t* p, std::int32_t v);
void PutF32(std::uint8_t* p, float v);
std::int32_t GetS32(const std::uint8_t* p);

// Sentences the tool takes out and ignores; only the tag and length matter.
struct IgnoredSentenceKind {
  std::string_view tag;
  std::size_t length;
};
inline constexpr std::array<IgnoredSentenceKind, 13> kIgnoredSentences = {{
    {"$DIN", 14},
    {"$SETD", 31},
    {"$PAED", 16},
    {"$QUZA", 35},
    {"$DOCAP", 6},
    {"$MG2", 13},
    {"$MG3", 13},
    {"$MG1", 25},
    {"$LIM", 16},
    {"$PUR", 37},
    {"$DOYMM", 6},
    {"$DOYMA", 6},
    {"$1MIN", 5},
}};

// Everything the controller reports in one "$STP".
struct StatusFields {
  float latitude = 0, longitude = 0;  // degrees
  float course = 0;                   // radians, clockwise from north
  std::uint8_t satellites = 0;
  std::uint8_t year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;  // year - 2000
  std::uint8_t rudder = 128, aileron = 128, elevator = 128, throttle = 200;
  std::int16_t altitudeTenths = 0;
  std::uint16_t velocityX = 0, velocityY = 0;  // cm/s
  std::uint8_t pdopTenths = 0;
  std::int32_t attitudeUp = 0, attitudeLeft = 0;
  std::int16_t voltageRaw = 0;  // units of 20/4096 V
  std::uint8_t flightStatus = 0;
  std::uint8_t rudderCentre = 128, aileronCentre = 128, elevatorCentre = 128;
  std::uint8_t captureState = 0;  // 99 once the installation error was captured
  std::uint16_t version = 0;
  std::uint32_t sequence = 0;  // fills bytes the tool does not read
};

StatusSentence EncodeStatus(const StatusFields& f);

// state holds bytes 4-43; the tag and the sum are written here.
ParameterSentence EncodeParameters(const ParameterSentence& state);

InstallErrorSentence EncodeInstallError(float first, float second);

// The parameter block's bytes in the set-parameters frame land at these
// offsets of the parameter sentence.
inline constexpr std::array<std::uint8_t, 20> kBlockToSentenceOffset = {
    7, 33, 38, 12, 4, 6, 5, 42, 27, 34, 26, 24, 17, 23, 22, 32, 25, 28, 43, 9};

// Command codes in "$WIFI" frames.
inline constexpr std::uint8_t kCodeGetParameters = 0x68;
inline constexpr std::uint8_t kCodeSetParameters = 0x73;
inline constexpr std::uint8_t kCodeCalibrate = 0x75;
inline constexpr std::uint8_t kCodeCaptureInstallError = 0xFE;

// Boot-loader report codes.
inline constexpr std::uint8_t kUpAnnounce = 0x30;  // also the tool's image offer
inline constexpr std::uint8_t kUpFinishAck = 0x10;
inline constexpr std::uint8_t kUpErase = 0x31;
inline constexpr std::uint8_t kUpBlock = 0x32;
inline constexpr std::uint8_t kUpLastBlock = 0x33;
inline constexpr std::uint8_t kUpVerifyStart = 0x50;
inline constexpr std::uint8_t kUpReadBack = 0x51;
inline constexpr std::uint8_t kUpFinish = 0xFF;

// code, 0, argument (LE), 56-byte payload (zeros when null), 0, sum.
Report MakeUpgradeReport(std::uint8_t code, std::int32_t argument, const std::uint8_t* payload);
void SealReport(Report& report);  // byte 63 = sum of bytes 0-62
bool ReportSumOk(const std::uint8_t* report);

// Civil UTC date and time of a Unix time.
struct UtcTime {
  int year, month, day, hour, minute, second;
};
UtcTime ToUtc(std::int64_t unixSeconds);

}  // namespace apdesk::sim
