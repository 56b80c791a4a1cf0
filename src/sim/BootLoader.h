#pragma once
// The boot loader's side of the firmware upgrade: it floods announcements
// until the tool offers an image, reports its erase steps, asks for the image
// block by block, starts the verification, answers each read-back request
// with what it stored, and acknowledges the tool's finish report. A request
// left unanswered is sent again, as the device does when a report is lost.

#include <cstdint>
#include <deque>
#include <vector>

#include "sim/SimOptions.h"
#include "sim/SimWire.h"

namespace apdesk::sim {

enum class BootPhase {
  kAnnounce,     // waiting for the image offer
  kErase,        // erase steps 0 to 7
  kDownload,     // asking for blocks 0, 1, ...
  kVerifyStart,  // verification announced, waiting for the first read-back request
  kVerify,       // answering read-back requests
  kDone,         // finish report acknowledged
  kFailed,       // the tool sent more blocks than the flash holds
};

// Image sizes the flash takes (the tool offers nothing larger).
inline constexpr std::int32_t kFlashSize = 0xE0000;

class BootLoader {
 public:
  BootLoader(const SimOptions& options, SimCounters& counters);

  // One report written by the tool.
  void OnReport(const std::uint8_t* report, std::int64_t nowMs);

  // Produces what is due by nowMs. backlog is the number of reports sent but
  // not yet read: the announcement flood pauses while the reader lags.
  // out(const Report&) sends one report (not "emit": Qt defines that as a macro).
  template <class Out>
  void Advance(std::int64_t nowMs, std::size_t backlog, Out&& out) {
    Report r;
    while (Due(nowMs, backlog, r)) {
      out(r);
      ++backlog;
    }
  }

  // When Advance will next have something to send, given the same backlog.
  std::int64_t NextDueMs(std::size_t backlog) const;

  BootPhase Phase() const { return m_phase; }
  std::int32_t OfferedSize() const { return m_size; }
  // The image as received: the offered size's bytes of the flash.
  std::vector<std::uint8_t> Image() const;
  // True once the tool finished after every block through the last one had
  // been read back.
  bool Complete() const { return m_complete; }

 private:
  bool Due(std::int64_t nowMs, std::size_t backlog, Report& out);
  void Send(const Report& r);                         // a reply or a one-off report
  void Request(const Report& r, std::int64_t nowMs);  // sent again until answered
  Report ReadBack(std::int32_t block);
  void Store(std::int32_t block, const std::uint8_t* payload);

  const SimOptions& m_options;
  SimCounters& m_counters;
  BootPhase m_phase = BootPhase::kAnnounce;
  std::deque<Report> m_pending;
  std::int64_t m_sendAt = 0;  // pacing: the next report goes no earlier
  int m_retries = 0;          // of the current request

  std::int32_t m_size = 0;
  std::vector<std::uint8_t> m_flash;
  int m_eraseStep = 0;
  std::int64_t m_eraseAt = 0;
  std::int32_t m_nextBlock = 0;
  std::int32_t m_lastBlock = -1;        // the block that came as 0x33
  std::int32_t m_readBackThrough = -1;  // highest block read back in order
  bool m_complete = false;

  bool m_waiting = false;  // m_lastRequest awaits its answer
  Report m_lastRequest{};
  std::int64_t m_retryAt = 0;

  bool m_droppedRequest = false;
  bool m_sentWrongReadBack = false;
};

}  // namespace apdesk::sim
