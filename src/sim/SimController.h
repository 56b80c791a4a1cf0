#pragma once
// The simulated controller: the flight software or its boot loader, driven by
// a clock the caller passes in, so tests run it deterministically.
//
// Feed it what the tool wrote with Write (the command-frame byte stream, or
// the boot loader's 64-byte reports), call Advance with the current time, and
// take what it sent with TakeReport (HID: 64-byte input reports, sentence
// bytes packed back to back, the last report of a burst zero-padded) or
// TakeBytes (serial stream). Times are milliseconds on any steady clock;
// the fault times of SimFaults count from the startMs given here.
//
// Not thread-safe: SimHidBackend.h wraps it for threads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/BootLoader.h"
#include "sim/FrameReader.h"
#include "sim/SimOptions.h"
#include "sim/SimWire.h"
#include "sim/StatusModel.h"

namespace apdesk::sim {

class SimController {
 public:
  explicit SimController(const SimOptions& options, std::int64_t startMs = 0);

  // Bytes the tool wrote. Over HID pass each 64-byte output report whole.
  void Write(const std::uint8_t* data, std::size_t size, std::int64_t nowMs);

  // Produces everything due by nowMs (telemetry, boot-loader reports).
  void Advance(std::int64_t nowMs);

  // The next 64-byte input report (options.reports), false when none waits.
  bool TakeReport(std::uint8_t* report);
  // Up to max bytes of the serial stream (!options.reports).
  std::size_t TakeBytes(std::uint8_t* out, std::size_t max);
  bool HasOutput() const;

  // When Advance will next produce something; INT64_MAX when only input can.
  std::int64_t NextDueMs() const;

  // Unplugged (by Unplug or the vanish fault): nothing goes in or out again.
  bool Vanished() const { return m_vanished; }
  void Unplug();

  // --- state, for tests and tools ---
  const SimOptions& Options() const { return m_options; }
  SimFaults& Faults() { return m_options.faults; }  // may be changed at any time
  const SimCounters& Counters() const { return m_counters; }

  // The parameter state: what "$PAR" carries (tag and sum filled in).
  ParameterSentence Parameters() const { return EncodeParameters(m_params); }
  void SetParameters(const ParameterSentence& sentence) { m_params = sentence; }
  static ParameterSentence DefaultParameters();

  std::array<std::uint8_t, 3> StickCentres() const { return m_model.Centres(); }
  Sticks SticksAt(std::int64_t nowMs) const { return m_model.SticksAt(nowMs - m_startMs); }
  bool CompassMode() const { return m_model.CompassMode(); }
  bool Captured() const { return m_model.Captured(); }

  BootPhase Phase() const { return m_boot.Phase(); }
  std::vector<std::uint8_t> ReceivedImage() const { return m_boot.Image(); }
  bool UpgradeComplete() const { return m_boot.Complete(); }

 private:
  bool Stalled(std::int64_t nowMs) const;
  void CheckTime(std::int64_t nowMs);
  void Process(const std::uint8_t* data, std::size_t size, std::int64_t nowMs);
  void HandleFrame(const CommandFrame& frame, std::int64_t nowMs);
  // One telemetry burst; `recorded` replaces the model's "$STP" in a replay.
  void EmitTick(std::int64_t tickMs, const StatusSource::Sentence* recorded = nullptr);
  void Emit(const std::uint8_t* data, std::size_t size);  // through the faults
  void Push(const std::uint8_t* data, std::size_t size);
  std::size_t BacklogReports() const { return m_out.size() / kReportSize; }
  void AppendIgnored(std::vector<std::uint8_t>& burst, std::size_t kind);

  SimOptions m_options;
  std::int64_t m_startMs;
  SimCounters m_counters;
  Rng m_rng;
  StatusModel m_model;
  BootLoader m_boot;
  FrameReader m_reader;
  ParameterSentence m_params;
  std::vector<std::uint8_t> m_bootInput;  // boot-loader reports arriving as a stream
  std::vector<std::uint8_t> m_heldInput;  // written during a stall

  std::deque<std::uint8_t> m_out;
  std::vector<StatusSource::Sentence> m_replayed;
  std::uint64_t m_tick = 0;
  std::int64_t m_tickBaseMs = 0;
  std::uint64_t m_tickBaseIndex = 0;
  bool m_stalled = false;
  bool m_vanished = false;
};

}  // namespace apdesk::sim
