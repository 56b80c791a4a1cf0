#include "cli/MonitorAlerts.h"

#include "alerts/AlertText.h"
#include "protocol/StatusSentence.h"

namespace apdesk::cli {

MonitorAlerts::MonitorAlerts(std::ostream& out, std::ostream& err, bool json)
    : m_out(out), m_err(err), m_json(json) {}

std::int64_t MonitorAlerts::Now() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start)
      .count();
}

void MonitorAlerts::Connected() {
  m_rules.Connected(Now());
}

void MonitorAlerts::Parameters(const std::optional<apdesk::Parameters>& p) {
  if (p) {
    m_rules.SetLimits(alerts::LimitsFromParameters(*p), Now());
  } else {
    m_rules.ParametersUnavailable();
  }
  Write();
}

void MonitorAlerts::Status(const std::uint8_t* s) {
  m_rules.Status(alerts::ReadingFromFields(ReadStatusFields(s)), Now());
  Write();
}

void MonitorAlerts::Lost() {
  m_rules.LinkLost(Now());
  Write();
}

void MonitorAlerts::Returned() {
  m_rules.LinkReturned(Now());
  Write();
}

void MonitorAlerts::RecorderFailing(bool failing) {
  m_rules.RecorderFailing(failing, Now());
  Write();
}

void MonitorAlerts::Tick() {
  m_rules.Tick(Now());
  Write();
}

void MonitorAlerts::Write() {
  for (alerts::AlertNotice n : m_rules.TakeNotices()) m_err << "apctl: " << alerts::NoticeText(n) << "\n";
  const std::int64_t unixMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
  bool wrote = false;
  for (const alerts::AlertEvent& e : m_rules.TakeEvents()) {
    if (e.state == alerts::AlertState::Repeated) continue;  // spoken again, not a new alert
    const std::string time = alerts::UtcIso8601(unixMs);
    m_out << (m_json ? alerts::AlertJson(e, time) : alerts::AlertLine(e, time)) << "\n";
    wrote = true;
  }
  if (wrote) m_out << std::flush;
}

}  // namespace apdesk::cli
