#include "sim/BootLoader.h"

#include <algorithm>
#include <cstring>

namespace apdesk::sim {
namespace {

constexpr std::uint8_t kZeroTag[] = {'$', 'Z', 'E', 'R', 'O'};
// The flood pauses while this many reports wait to be read (what the
// kernel's hidraw queue holds for a reader that is busy elsewhere).
constexpr std::size_t kMaxBacklog = 64;
// After a late wake-up the flood catches up at most this far, so a reader
// that slept still finds the announcements it missed, as from the kernel's
// queue. Everything else is paced from the moment it goes out.
constexpr std::int64_t kFloodCatchUpMs = 100;
// A request repeated this often without an answer gives up.
constexpr int kMaxRetries = 200;
constexpr int kLastEraseStep = 7;

Report TaggedReport(std::uint8_t code, std::int32_t argument) {
  std::uint8_t payload[kBlockSize] = {};
  std::memcpy(payload, kZeroTag, sizeof(kZeroTag));
  return MakeUpgradeReport(code, argument, payload);
}

}  // namespace

BootLoader::BootLoader(const SimOptions& options, SimCounters& counters)
    : m_options(options), m_counters(counters) {}

std::vector<std::uint8_t> BootLoader::Image() const {
  std::vector<std::uint8_t> image(static_cast<std::size_t>(m_size), 0);
  const std::size_t n = std::min(image.size(), m_flash.size());
  std::copy_n(m_flash.begin(), n, image.begin());
  return image;
}

void BootLoader::Send(const Report& r) {
  m_pending.push_back(r);
}

void BootLoader::Request(const Report& r, std::int64_t nowMs) {
  m_waiting = true;
  m_lastRequest = r;
  m_retryAt = nowMs + std::max(1, m_options.bootRetryMs);
  m_retries = 0;
  const SimFaults& f = m_options.faults;
  if (r[0] == kUpBlock && f.dropBlockRequest >= 0 && GetS32(&r[2]) == f.dropBlockRequest &&
      !m_droppedRequest) {
    m_droppedRequest = true;  // lost on the way; the retry brings it
    ++m_counters.dropped;
    return;
  }
  Send(r);
}

void BootLoader::Store(std::int32_t block, const std::uint8_t* payload) {
  const std::size_t at = static_cast<std::size_t>(block) * kBlockSize;
  if (m_flash.size() < at + kBlockSize) m_flash.resize(at + kBlockSize, 0xFF);
  std::memcpy(&m_flash[at], payload, kBlockSize);
}

Report BootLoader::ReadBack(std::int32_t block) {
  std::uint8_t payload[kBlockSize];
  std::memset(payload, 0xFF, sizeof(payload));  // erased flash
  const std::size_t at = static_cast<std::size_t>(block) * kBlockSize;
  if (at < m_flash.size()) {
    std::memcpy(payload, &m_flash[at], std::min(kBlockSize, m_flash.size() - at));
  }
  if (block == m_options.faults.corruptReadBackBlock) payload[block % kBlockSize] ^= 0xA5;
  ++m_counters.readBacks;
  return MakeUpgradeReport(kUpReadBack, block, payload);
}

void BootLoader::OnReport(const std::uint8_t* report, std::int64_t nowMs) {
  if (!ReportSumOk(report)) {
    ++m_counters.badReports;
    return;
  }
  const std::uint8_t code = report[0];
  const std::int32_t arg = GetS32(&report[2]);
  const std::uint8_t* payload = &report[6];

  if (code == kUpFinish && m_phase >= BootPhase::kVerifyStart && m_phase != BootPhase::kFailed) {
    ++m_counters.finishReports;
    if (m_lastBlock >= 0 && m_readBackThrough >= m_lastBlock) m_complete = true;
    m_phase = BootPhase::kDone;
    m_waiting = false;
    Send(MakeUpgradeReport(kUpFinishAck, 0, nullptr));
    return;
  }

  switch (m_phase) {
    case BootPhase::kAnnounce:
      if (code == kUpAnnounce && std::memcmp(payload, kZeroTag, sizeof(kZeroTag)) == 0 && arg >= 0 &&
          arg < kFlashSize) {
        ++m_counters.offers;
        m_size = arg;
        m_flash.clear();
        m_phase = BootPhase::kErase;
        m_eraseStep = 0;
        m_eraseAt = nowMs;
        return;
      }
      break;
    case BootPhase::kDownload:
      if ((code == kUpBlock || code == kUpLastBlock) && m_waiting && arg == m_nextBlock) {
        Store(arg, payload);
        ++m_counters.blocksReceived;
        m_waiting = false;
        if (code == kUpLastBlock) {
          m_lastBlock = arg;
          m_phase = BootPhase::kVerifyStart;
          Request(MakeUpgradeReport(kUpVerifyStart, 0, nullptr), nowMs);
          return;
        }
        ++m_nextBlock;
        if (static_cast<std::int64_t>(m_nextBlock) * static_cast<std::int64_t>(kBlockSize) >=
            kFlashSize + 4096) {
          m_phase = BootPhase::kFailed;  // never told where the image ends
          return;
        }
        Request(MakeUpgradeReport(kUpBlock, m_nextBlock, nullptr), nowMs);
        return;
      }
      if (code == kUpBlock || code == kUpLastBlock) return;  // a late copy of an answered block
      break;
    case BootPhase::kVerifyStart:
    case BootPhase::kVerify:
    case BootPhase::kDone:
      if (code == kUpReadBack && arg >= 0 && arg <= kFlashSize / static_cast<std::int32_t>(kBlockSize) + 2) {
        if (m_phase != BootPhase::kDone) m_phase = BootPhase::kVerify;
        const SimFaults& f = m_options.faults;
        if (arg == f.wrongReadBackBlock && !m_sentWrongReadBack) {
          m_sentWrongReadBack = true;
          Request(ReadBack(arg + 1), nowMs);
          return;
        }
        if (arg == m_readBackThrough + 1) m_readBackThrough = arg;
        Report r = ReadBack(arg);
        if (m_phase == BootPhase::kDone) {
          Send(r);
        } else {
          // Repeated until the next request comes: that is how the last block
          // draws the tool's finish report.
          Request(r, nowMs);
        }
        return;
      }
      break;
    case BootPhase::kErase:
    case BootPhase::kFailed:
      break;
  }
  // Offers answering announcements that were still on their way are expected.
  if (code != kUpAnnounce) ++m_counters.badReports;
}

bool BootLoader::Due(std::int64_t nowMs, std::size_t backlog, Report& out) {
  if (m_sendAt > nowMs) return false;
  std::int64_t catchUpMs = 0;
  if (!m_pending.empty()) {
    out = m_pending.front();
    m_pending.pop_front();
  } else if (m_phase == BootPhase::kAnnounce) {
    if (backlog >= kMaxBacklog) return false;
    out = TaggedReport(kUpAnnounce, 0);
    ++m_counters.announcements;
    catchUpMs = kFloodCatchUpMs;
  } else if (m_phase == BootPhase::kErase && nowMs >= m_eraseAt) {
    if (m_eraseStep <= kLastEraseStep) {
      out = MakeUpgradeReport(kUpErase, m_eraseStep++, nullptr);
      m_eraseAt += std::max(0, m_options.eraseStepMs);
    } else {
      m_phase = BootPhase::kDownload;
      m_nextBlock = 0;
      Request(MakeUpgradeReport(kUpBlock, 0, nullptr), nowMs);
      if (m_pending.empty()) return false;  // the first request was lost
      out = m_pending.front();
      m_pending.pop_front();
    }
  } else if (m_waiting && nowMs >= m_retryAt) {
    if (++m_retries > kMaxRetries) {
      m_waiting = false;
      return false;
    }
    out = m_lastRequest;
    m_retryAt = nowMs + std::max(1, m_options.bootRetryMs);
    ++m_counters.requestRetries;
  } else {
    return false;
  }
  m_sendAt = std::max(m_sendAt, nowMs - catchUpMs) + std::max(0, m_options.bootPacingMs);
  return true;
}

std::int64_t BootLoader::NextDueMs(std::size_t backlog) const {
  std::int64_t due = INT64_MAX;
  if (!m_pending.empty() || (m_phase == BootPhase::kAnnounce && backlog < kMaxBacklog)) due = m_sendAt;
  if (m_phase == BootPhase::kErase) due = std::max(m_sendAt, m_eraseAt);
  if (m_waiting) due = std::min(due, std::max(m_sendAt, m_retryAt));
  return due;
}

}  // namespace apdesk::sim
