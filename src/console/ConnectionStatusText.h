#pragma once
// The words of the main window's status line, from the state of the
// connection. Plain C++: the texts come from the language file through
// `lookup` ("LID_LINK_..." keys, "%1" and "%2" where the values go).

#include <cstdint>
#include <functional>
#include <string>

namespace apdesk {

struct ConnectionState {
  enum class Kind { NotConnected, Usb, Serial, Lost, Waiting, Replaying };
  Kind kind = Kind::NotConnected;
  std::string device;     // Usb: the device's name or path; Serial and Lost: the port or device
  std::int64_t baud = 0;  // Serial
  double recordsPerSecond = 0;
  std::int64_t lastRecordAgeMs = -1;  // -1: no good record since connecting
  std::uint64_t badSums = 0;
  std::string lostSince;          // Lost: the time of day it went, "HH:MM:SS"
  std::int64_t connectedMs = -1;  // Usb, Serial: how long the connection has been open
  // Replaying: what is played, at what speed, and where it is.
  struct Replay {
    std::string file;           // the record file's name
    double speed = 1;           // times the flight's own pace
    std::uint64_t records = 0;  // records played so far
    std::string flightTime;     // UTC of the last record played, "HH:MM:SS"; empty: none had one
    bool paused = false;
    bool finished = false;
  } replay;
};

// A connection open this long without a good record is said to get no answer.
inline constexpr std::int64_t kNoAnswerAfterMs = 3000;

using TextLookup = std::function<std::string(const char* key)>;

std::string FormatConnectionStatus(const ConnectionState& state, const TextLookup& lookup);

}  // namespace apdesk
