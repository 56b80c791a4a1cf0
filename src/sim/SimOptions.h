#pragma once
// What the simulated controller is told when it starts, the faults it can be
// made to inject, and the counters it keeps of what the tool sent it.

#include <cstdint>

#include "sim/StatusSource.h"

namespace apdesk::sim {

// Faults injected into what the controller sends. Shares are 0.0 to 1.0 and
// apply to whole 64-byte reports on a HID transport, to single bytes on the
// serial stream. All choices come from the seeded generator, so a run with
// the same seed and the same clock injects the same faults.
struct SimFaults {
  double dropShare = 0.0;       // lost on the way
  double corruptShare = 0.0;    // one byte altered (a report's sum then fails)
  double duplicateShare = 0.0;  // sent twice
  bool garbage = true;          // short bursts of bytes that are no sentence, now and then

  // Boot loader (block numbers; -1 = off).
  int corruptReadBackBlock = -1;  // read-back of this block carries one wrong byte, sum right
  int dropBlockRequest = -1;      // the first request for this block is never sent
  int wrongReadBackBlock = -1;    // the first read-back asked for this block carries the next one

  // Times in ms after the controller started; -1 = never.
  std::int64_t stallAtMs = -1;   // from then on nothing comes out, input waits ...
  std::int64_t stallForMs = 0;   // ... for this long
  std::int64_t vanishAtMs = -1;  // unplugged: no output, no input, reads fail
};

struct SimOptions {
  bool bootloader = false;       // play the boot loader instead of the flight software
  bool reports = true;           // output as 64-byte HID reports; false: a serial byte stream
  double rateHz = 10.0;          // "$STP" sentences per second
  bool reversedCompass = false;  // compass check turns counter-clockwise
  std::uint32_t seed = 1;

  std::int64_t startUtc = 1714550400;  // GPS time at start: 2024-05-01 08:00:00 UTC
  double startLatitude = 22.543096;
  double startLongitude = 114.057865;
  std::uint16_t firmwareVersion = 2406;  // the tool shows 100000 + this

  // Boot loader timing, in ms.
  int bootPacingMs = 1;   // gap between two reports; 0 sends each as soon as it is due
  int bootRetryMs = 100;  // a request left unanswered this long is sent again
  int eraseStepMs = 20;   // time per erase step

  SimFaults faults;

  // When set, the telemetry comes from here (a replay) instead of the model
  // at rateHz. Not owned; it must outlive the controller.
  StatusSource* statusSource = nullptr;
};

struct SimCounters {
  // Command frames taken from the tool's byte stream.
  std::uint64_t getParameters = 0;
  std::uint64_t setAccepted = 0;  // set-parameters frames with right sums, applied
  std::uint64_t setRejected = 0;  // ... with a wrong sum, ignored
  std::uint64_t restoreDefaults = 0;
  std::uint64_t calibrations = 0;
  std::uint64_t captures = 0;
  std::uint64_t compassOn = 0;
  std::uint64_t compassOff = 0;
  std::uint64_t unknownFrames = 0;  // right header, unknown code
  std::uint64_t skippedBytes = 0;   // non-zero bytes outside any frame

  // What went out.
  std::uint64_t statusSent = 0;
  std::uint64_t reportsSent = 0;  // or bytes, on the serial stream
  std::uint64_t dropped = 0;
  std::uint64_t corrupted = 0;
  std::uint64_t duplicated = 0;
  std::uint64_t overflowed = 0;  // lost because nobody read the output

  // Boot loader.
  std::uint64_t announcements = 0;
  std::uint64_t offers = 0;  // image offers taken (the first starts the erase)
  std::uint64_t blocksReceived = 0;
  std::uint64_t requestRetries = 0;  // requests sent again for lack of an answer
  std::uint64_t readBacks = 0;       // read-back blocks sent
  std::uint64_t finishReports = 0;   // finish reports from the tool, each acknowledged
  std::uint64_t badReports = 0;      // wrong sum, or out of turn
};

}  // namespace apdesk::sim
