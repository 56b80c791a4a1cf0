#include "telemetryplots/TelemetryHistory.h"

#include <algorithm>

#include "protocol/StatusSentence.h"

namespace apdesk {

void TelemetryHistory::AddStatusSentence(const std::uint8_t* s99, std::int64_t nowMs) {
  if (s99 == nullptr) return;
  if (!m_started) {
    m_started = true;
    m_startMs = nowMs;
    m_lastMs = nowMs;
  }
  m_lastMs = std::max(m_lastMs, nowMs);
  const StatusFields fields = ReadStatusFields(s99);
  TelemetryPoint p;
  p.ms = m_lastMs - m_startMs;
  p.seconds = static_cast<double>(p.ms) / 1000.0;
  for (std::size_t i = 0; i < kLivePlotCount; ++i)
    p.values[i] = GetPlotQuantity(kLivePlotQuantities[i]).value(fields);
  m_points.push_back(p);
  ++m_added;
  while (!m_points.empty() && m_points.front().ms < p.ms - kKeepMs) m_points.pop_front();
}

std::size_t TelemetryHistory::FirstAtOrAfter(std::int64_t ms) const {
  const auto it = std::lower_bound(m_points.begin(), m_points.end(), ms,
                                   [](const TelemetryPoint& p, std::int64_t t) { return p.ms < t; });
  return static_cast<std::size_t>(it - m_points.begin());
}

}  // namespace apdesk
