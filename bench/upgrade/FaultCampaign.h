#pragma once
// Firmware upgrades against the simulated boot loader with one injected fault
// each, on a simulated clock: the exchange and the device trade reports in
// process, so a thousand upgrades take seconds. Shared by the campaign
// program and its short test.

#include <cstdint>
#include <string>

namespace apdesk::campaign {

enum class Fault {
  None,
  Drop,              // one report lost on the way (either direction)
  Corrupt,           // one byte of one report altered, so its sum fails
  Duplicate,         // one report arrives twice
  CorruptReadBack,   // the device reads one block back wrong (sum right)
  WrongReadBack,     // the device answers one read-back request with the next block
  DropBlockRequest,  // the device's first request for one block is lost
  Stall,             // the device (or, toward the device, the tool) is silent and deaf for a while
  Vanish,            // the device is unplugged
  // Before the boot loader starts, the controller in flight sends telemetry
  // reports that look like erase progress, block requests or read-backs
  // (first byte a step's code, last byte the sum of the rest).
  LookalikeTelemetry,
};
inline constexpr int kFaultKinds = 10;
const char* FaultName(Fault fault);

struct RunPlan {
  Fault fault = Fault::None;
  std::int32_t imageSize = 15000;
  std::uint32_t imageSeed = 1;
  // Where the fault strikes, as a share (0 to 1) of the clean run: of its
  // reports in the chosen direction, of its blocks, or of its time.
  double moment = 0.5;
  // Drop, Corrupt, Duplicate: a tool report, not a device one. Stall: the
  // tool stops reading, not the device.
  bool towardDevice = false;
  std::int64_t stallMs = 300;
};

enum class Outcome { Succeeded, VerifyFailed, DeviceGone, NoEnd };
const char* OutcomeName(Outcome outcome);

struct RunResult {
  Outcome outcome = Outcome::NoEnd;
  bool falseSuccess = false;   // success claimed for an image the device does not hold
  bool falseProgress = false;  // a step shown or answered before the boot loader announced itself
  bool finishAcknowledged = false;
  std::int64_t endMs = -1;  // when the outcome was known (success: when it was claimed)
  std::uint64_t deviceReports = 0;
  std::uint64_t toolReports = 0;
};

// One upgrade; a run with no outcome by limitMs is NoEnd.
RunResult RunUpgrade(const RunPlan& plan, std::int64_t limitMs);

}  // namespace apdesk::campaign
