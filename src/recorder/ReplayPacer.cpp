#include "recorder/ReplayPacer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace apdesk {

namespace {
// More records than this in one second are played as the next second's.
constexpr std::size_t kMaxGroup = 1000;
constexpr std::size_t kUntimedPerSecond = 10;
}  // namespace

void ReplayPacer::Reset() {
  m_haveLook = false;
  m_lookSecond.reset();
  m_group.clear();
  m_index = 0;
  m_groupStart = 0;
  m_spacing = 1.0 / kUntimedPerSecond;
  m_firstGroup = true;
  m_lastSecond.reset();
  m_started = m_paused = false;
  m_speed = 1.0;
  m_anchorMs = 0;
  m_anchorPlay = 0;
  m_played = 0;
}

bool ReplayPacer::Open(const std::string& path, std::string* error) {
  Reset();
  // A file without one sound record would replay as a silent device: it is
  // refused as the record tools refuse it. The look ahead is a reader of its
  // own, so the replay still starts at the first byte.
  RecordReader probe;
  if (!probe.Open(path, error)) {
    m_readerDone = true;
    return false;
  }
  if (probe.Next() == nullptr) {
    const std::uint64_t bytes = probe.BytesRead();
    *error = bytes == 0 ? path + " is empty: it holds no flight records"
                        : path + " is not a flight record: none of its " + std::to_string(bytes) +
                              " bytes make a sound record";
    m_readerDone = true;
    return false;
  }
  m_readerDone = !m_reader.Open(path, error);
  return !m_readerDone;
}

void ReplayPacer::OpenBytes(const std::uint8_t* data, std::size_t size) {
  Reset();
  m_reader.OpenBytes(data, size);
  m_readerDone = false;
}

bool ReplayPacer::ReadOne() {
  if (m_readerDone) return false;
  const std::uint8_t* r = m_reader.Next();
  if (r == nullptr) {
    m_readerDone = true;
    return false;
  }
  std::memcpy(m_look.data(), r, kRecordSize);
  m_lookSecond = RecordUtcSeconds(r);
  m_haveLook = true;
  return true;
}

// The next run of records: those of one second (with the untimed ones after
// them), or up to ten untimed ones before any time is known.
bool ReplayPacer::LoadGroup() {
  m_group.clear();
  m_index = 0;
  if (!m_haveLook && !ReadOne()) return false;
  std::optional<long long> second = m_lookSecond;
  if (!second && m_lastSecond) second = m_lastSecond;  // untimed ones follow the last known second
  const bool untimed = !m_lookSecond.has_value();
  m_group.push_back(m_look);
  m_haveLook = false;
  while (m_group.size() < (untimed ? kUntimedPerSecond : kMaxGroup) && ReadOne()) {
    if (untimed ? m_lookSecond.has_value() : (m_lookSecond && *m_lookSecond != *second)) break;
    m_group.push_back(m_look);
    m_haveLook = false;
  }
  m_spacing = untimed ? 1.0 / kUntimedPerSecond : 1.0 / static_cast<double>(m_group.size());
  if (m_firstGroup) {
    m_groupStart = 0;
    m_firstGroup = false;
  } else {
    double step = 1;
    if (!untimed && m_lastSecond && *second > *m_lastSecond && *second - *m_lastSecond <= kMaxGapSeconds)
      step = static_cast<double>(*second - *m_lastSecond);
    m_groupStart += step;
  }
  if (!untimed) m_lastSecond = second;
  return true;
}

void ReplayPacer::Start(std::int64_t nowMs) {
  m_started = true;
  m_anchorMs = nowMs;
  m_anchorPlay = 0;
  if (m_group.empty()) LoadGroup();
}

double ReplayPacer::PlayNow(std::int64_t nowMs) const {
  if (m_paused) return m_anchorPlay;
  return m_anchorPlay + static_cast<double>(nowMs - m_anchorMs) / 1000.0 * m_speed;
}

void ReplayPacer::SetSpeed(double speed, std::int64_t nowMs) {
  if (!(speed == speed)) return;  // NaN: no change
  m_anchorPlay = PlayNow(nowMs);
  m_anchorMs = nowMs;
  m_speed = std::clamp(speed, kMinSpeed, kMaxSpeed);
}

void ReplayPacer::SetPaused(bool paused, std::int64_t nowMs) {
  if (paused == m_paused) return;
  m_anchorPlay = PlayNow(nowMs);
  m_anchorMs = nowMs;
  m_paused = paused;
}

std::size_t ReplayPacer::NextDue(std::int64_t nowMs, std::vector<RecordBytes>* due) {
  if (!m_started) return 0;
  const double play = PlayNow(nowMs);
  std::size_t n = 0;
  for (;;) {
    if (m_index >= m_group.size() && !LoadGroup()) break;
    if (DueAt() > play + 1e-9) break;
    due->push_back(m_group[m_index++]);
    ++n;
  }
  m_played += n;
  return n;
}

std::optional<std::int64_t> ReplayPacer::NextDueMs() const {
  if (!m_started || m_paused || m_index >= m_group.size()) {
    // The next group is loaded by NextDue; until then its first record is due now.
    if (m_started && !m_paused && m_index >= m_group.size() && LoadPossible()) return m_anchorMs;
    return std::nullopt;
  }
  const double wait = (DueAt() - m_anchorPlay) / m_speed * 1000.0;
  return m_anchorMs + static_cast<std::int64_t>(std::ceil(wait - 1e-6));
}

}  // namespace apdesk
