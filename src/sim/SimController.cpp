#include "sim/SimController.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace apdesk::sim {
namespace {

// Output nobody reads is lost beyond this, as a device's FIFO overflows.
constexpr std::size_t kMaxQueuedBytes = 512 * kReportSize;
// A clock that jumps further than this skips the sentences in between.
constexpr std::int64_t kMaxCatchUpMs = 1000;
constexpr double kGarbageShare = 0.03;

std::uint8_t RandomNonDollar(Rng& rng) {
  const auto b = static_cast<std::uint8_t>(rng.Range(1, 255));
  return b == '$' ? 0x7E : b;
}

bool Header(const CommandFrame& f, const char* h) {
  return std::memcmp(f.data(), h, 5) == 0;
}

}  // namespace

ParameterSentence SimController::DefaultParameters() {
  // Bytes the tool shows hold the documented defaults; the others are the
  // controller's own data, kept non-zero so that carrying them is visible.
  static const std::uint8_t kBody[40] = {
      0x21, 0x53, 0x0A, 80,   0x11, 200,  0x02, 0x30, 0x37, 0x01,  // 4-13
      0x02, 0x03, 0x04, 20,   0x10, 0x20, 0x30, 0x40, 0x5C, 236,   // 14-23
      110,  12,   0x03, 0x96, 50,   0x05, 0x06, 0x07, 150,  60,    // 24-33
      1,    0x08, 0x09, 0x0A, 100,  0x0B, 0x0C, 0x0D, 0x7E, 0x59,  // 34-43
  };
  ParameterSentence s{};
  std::memcpy(&s[4], kBody, sizeof(kBody));
  return EncodeParameters(s);
}

SimController::SimController(const SimOptions& options, std::int64_t startMs)
    : m_options(options),
      m_startMs(startMs),
      m_rng(options.seed),
      m_model(options),
      m_boot(m_options, m_counters),
      m_params(DefaultParameters()),
      m_tickBaseMs(startMs) {}

bool SimController::Stalled(std::int64_t nowMs) const {
  const SimFaults& f = m_options.faults;
  const std::int64_t t = nowMs - m_startMs;
  return f.stallAtMs >= 0 && t >= f.stallAtMs && t < f.stallAtMs + f.stallForMs;
}

void SimController::Unplug() {
  m_vanished = true;
  m_out.clear();
}

void SimController::CheckTime(std::int64_t nowMs) {
  if (m_vanished) return;
  const SimFaults& f = m_options.faults;
  if (f.vanishAtMs >= 0 && nowMs - m_startMs >= f.vanishAtMs) {
    Unplug();
    return;
  }
  const bool stalled = Stalled(nowMs);
  if (m_stalled && !stalled) {
    m_stalled = false;
    // Telemetry resumes from now; what the stall swallowed is not sent late.
    m_tickBaseMs = nowMs;
    m_tickBaseIndex = m_tick;
    std::vector<std::uint8_t> held;
    held.swap(m_heldInput);
    Process(held.data(), held.size(), nowMs);
  }
  m_stalled = stalled;
}

void SimController::Write(const std::uint8_t* data, std::size_t size, std::int64_t nowMs) {
  CheckTime(nowMs);
  if (m_vanished) return;
  if (m_stalled) {
    m_heldInput.insert(m_heldInput.end(), data, data + size);
    return;
  }
  Process(data, size, nowMs);
}

void SimController::Process(const std::uint8_t* data, std::size_t size, std::int64_t nowMs) {
  if (m_options.bootloader) {
    m_bootInput.insert(m_bootInput.end(), data, data + size);
    std::size_t used = 0;
    while (m_bootInput.size() - used >= kReportSize) {
      m_boot.OnReport(&m_bootInput[used], nowMs - m_startMs);
      used += kReportSize;
    }
    m_bootInput.erase(m_bootInput.begin(), m_bootInput.begin() + static_cast<std::ptrdiff_t>(used));
    return;
  }
  m_reader.Append(data, size);
  CommandFrame frame;
  while (m_reader.Next(frame)) HandleFrame(frame, nowMs);
  m_counters.skippedBytes = m_reader.SkippedBytes();
}

void SimController::HandleFrame(const CommandFrame& f, std::int64_t nowMs) {
  const std::int64_t elapsed = nowMs - m_startMs;
  if (Header(f, "$HFMR")) {
    ++m_counters.restoreDefaults;
    m_params = DefaultParameters();
  } else if (Header(f, "$CMAG")) {
    ++m_counters.compassOn;
    m_model.SetCompassMode(true, elapsed);
  } else if (Header(f, "$QMAG")) {
    ++m_counters.compassOff;
    m_model.SetCompassMode(false, elapsed);
  } else if (f[5] == kCodeSetParameters && f[6] == kCodeSetParameters) {
    const bool sumsRight =
        f[27] == ByteSum(&f[7], 7) && f[28] == ByteSum(&f[14], 7) && f[29] == ByteSum(&f[21], 6);
    if (!sumsRight) {
      ++m_counters.setRejected;
      return;
    }
    ++m_counters.setAccepted;
    for (std::size_t i = 0; i < kBlockToSentenceOffset.size(); ++i) {
      m_params[kBlockToSentenceOffset[i]] = f[7 + i];
    }
    m_params = EncodeParameters(m_params);
  } else if (f[5] == f[6] && f[6] == f[7] && f[5] == kCodeGetParameters) {
    ++m_counters.getParameters;
    const ParameterSentence s = EncodeParameters(m_params);
    Emit(s.data(), s.size());
  } else if (f[5] == f[6] && f[6] == f[7] && f[5] == kCodeCalibrate) {
    ++m_counters.calibrations;
    m_model.Calibrate(elapsed);
  } else if (f[5] == f[6] && f[6] == f[7] && f[5] == kCodeCaptureInstallError) {
    ++m_counters.captures;
    const auto angles = m_model.InstallError(elapsed);
    const InstallErrorSentence s = EncodeInstallError(angles[0], angles[1]);
    m_model.SetCaptured(true);
    Emit(s.data(), s.size());
  } else {
    ++m_counters.unknownFrames;
  }
}

void SimController::AppendIgnored(std::vector<std::uint8_t>& burst, std::size_t kind) {
  const IgnoredSentenceKind& k = kIgnoredSentences[kind];
  burst.insert(burst.end(), k.tag.begin(), k.tag.end());
  for (std::size_t i = k.tag.size(); i < k.length; ++i) burst.push_back(RandomNonDollar(m_rng));
}

void SimController::EmitTick(std::int64_t tickMs, const StatusSource::Sentence* recorded) {
  std::vector<std::uint8_t> burst;
  burst.reserve(4 * kReportSize);
  if (m_options.faults.garbage && m_rng.Chance(kGarbageShare)) {
    const int n = m_rng.Range(1, 8);
    for (int i = 0; i < n; ++i) burst.push_back(RandomNonDollar(m_rng));
  }
  if (recorded != nullptr) {
    burst.insert(burst.end(), recorded->begin(), recorded->end());
  } else {
    const StatusSentence stp = EncodeStatus(m_model.Next(tickMs - m_startMs, m_rng));
    burst.insert(burst.end(), stp.begin(), stp.end());
  }
  ++m_counters.statusSent;

  // The other sentences the flight software sends, each at its own pace.
  const std::uint64_t k = m_tick;
  auto add = [&](std::string_view tag) {
    for (std::size_t i = 0; i < kIgnoredSentences.size(); ++i) {
      if (kIgnoredSentences[i].tag == tag) AppendIgnored(burst, i);
    }
  };
  if (k % 2 == 1) add("$MG1");
  if (k % 5 == 2) add("$DIN");
  if (k % 10 == 3) {
    add("$LIM");
    add("$PUR");
  }
  if (k % 20 == 7) {
    add("$SETD");
    add("$MG2");
    add("$MG3");
  }
  if (k % 50 == 11) {
    add("$DOCAP");
    add("$DOYMM");
    add("$DOYMA");
    add("$1MIN");
  }
  if (k % 50 == 37) add("$PAED");
  if (k % 50 == 41) add("$QUZA");
  Emit(burst.data(), burst.size());
}

void SimController::Push(const std::uint8_t* data, std::size_t size) {
  if (m_out.size() + size > kMaxQueuedBytes) {
    ++m_counters.overflowed;
    return;
  }
  m_out.insert(m_out.end(), data, data + size);
  ++m_counters.reportsSent;
}

void SimController::Emit(const std::uint8_t* data, std::size_t size) {
  if (m_vanished) return;
  const SimFaults& f = m_options.faults;
  if (!m_options.reports) {
    for (std::size_t i = 0; i < size; ++i) {
      std::uint8_t b = data[i];
      if (m_rng.Chance(f.dropShare)) {
        ++m_counters.dropped;
        continue;
      }
      if (m_rng.Chance(f.corruptShare)) {
        b ^= static_cast<std::uint8_t>(m_rng.Range(1, 255));
        ++m_counters.corrupted;
      }
      Push(&b, 1);
      if (m_rng.Chance(f.duplicateShare)) {
        ++m_counters.duplicated;
        Push(&b, 1);
      }
    }
    return;
  }
  for (std::size_t at = 0; at < size; at += kReportSize) {
    Report r{};
    std::memcpy(r.data(), data + at, std::min(kReportSize, size - at));
    if (m_rng.Chance(f.dropShare)) {
      ++m_counters.dropped;
      continue;
    }
    if (m_rng.Chance(f.corruptShare)) {
      r[static_cast<std::size_t>(m_rng.Range(0, 63))] ^= static_cast<std::uint8_t>(m_rng.Range(1, 255));
      ++m_counters.corrupted;
    }
    Push(r.data(), r.size());
    if (m_rng.Chance(f.duplicateShare)) {
      ++m_counters.duplicated;
      Push(r.data(), r.size());
    }
  }
}

void SimController::Advance(std::int64_t nowMs) {
  CheckTime(nowMs);
  if (m_vanished || m_stalled) return;
  if (m_options.bootloader) {
    m_boot.Advance(nowMs - m_startMs, BacklogReports(),
                   [this](const Report& r) { Emit(r.data(), r.size()); });
    return;
  }
  if (m_options.statusSource != nullptr) {
    m_replayed.clear();
    m_options.statusSource->TakeDue(nowMs, &m_replayed);
    for (const StatusSource::Sentence& sentence : m_replayed) {
      EmitTick(nowMs, &sentence);
      ++m_tick;
    }
    return;
  }
  if (m_options.rateHz <= 0) return;
  const double period = 1000.0 / m_options.rateHz;
  auto tickTime = [&](std::uint64_t k) {
    return m_tickBaseMs +
           static_cast<std::int64_t>(std::llround(static_cast<double>(k - m_tickBaseIndex) * period));
  };
  if (nowMs - tickTime(m_tick) > kMaxCatchUpMs) {
    m_tickBaseMs = nowMs;
    m_tickBaseIndex = m_tick;
  }
  while (tickTime(m_tick) <= nowMs) {
    EmitTick(tickTime(m_tick));
    ++m_tick;
  }
}

bool SimController::TakeReport(std::uint8_t* report) {
  if (m_vanished || m_stalled || m_out.size() < kReportSize) return false;
  std::copy_n(m_out.begin(), kReportSize, report);
  m_out.erase(m_out.begin(), m_out.begin() + kReportSize);
  return true;
}

std::size_t SimController::TakeBytes(std::uint8_t* out, std::size_t max) {
  if (m_vanished || m_stalled) return 0;
  const std::size_t n = std::min(max, m_out.size());
  std::copy_n(m_out.begin(), n, out);
  m_out.erase(m_out.begin(), m_out.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

bool SimController::HasOutput() const {
  return !m_vanished && !m_stalled && !m_out.empty();
}

std::int64_t SimController::NextDueMs() const {
  if (m_vanished) return INT64_MAX;
  std::int64_t due = INT64_MAX;
  const SimFaults& f = m_options.faults;
  if (f.vanishAtMs >= 0) due = std::min(due, m_startMs + f.vanishAtMs);
  if (m_stalled) return std::min(due, m_startMs + f.stallAtMs + f.stallForMs);
  if (m_options.bootloader) {
    const std::int64_t b = m_boot.NextDueMs(BacklogReports());
    if (b != INT64_MAX) due = std::min(due, b + m_startMs);
  } else if (m_options.statusSource != nullptr) {
    due = std::min(due, m_options.statusSource->NextDueMs());
  } else if (m_options.rateHz > 0) {
    const double period = 1000.0 / m_options.rateHz;
    due = std::min(due, m_tickBaseMs + static_cast<std::int64_t>(std::llround(
                                           static_cast<double>(m_tick - m_tickBaseIndex) * period)));
  }
  return due;
}

}  // namespace apdesk::sim
