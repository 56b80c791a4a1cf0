#pragma once
// apctl monitor --alerts: the alert rules fed from what monitor receives,
// their lines (or JSON objects) written among the records, and what keeps a
// rule off said once on the error stream.

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>

#include "alerts/AlertRules.h"
#include "protocol/ParameterTable.h"

namespace apdesk::cli {

class MonitorAlerts {
 public:
  MonitorAlerts(std::ostream& out, std::ostream& err, bool json);

  void Connected();
  // The parameters as read before monitoring, or nothing when they did not come.
  void Parameters(const std::optional<apdesk::Parameters>& p);
  void Status(const std::uint8_t* sentence99);
  void Lost();
  void Returned();
  void RecorderFailing(bool failing);
  // Time passing: a silent controller is noticed without a record.
  void Tick();

 private:
  std::int64_t Now() const;
  void Write();

  std::ostream& m_out;
  std::ostream& m_err;
  bool m_json;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
  alerts::AlertRules m_rules;
};

}  // namespace apdesk::cli
