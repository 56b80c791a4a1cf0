// apctl monitor --alerts --json against apsim replaying a generated flight:
// the alerts printed are exactly the ones the flight holds, no more.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "cli/Apctl.h"
#include "cli/ExitStatus.h"
#include "common/ApsimProcess.h"
#include "common/SagFlight.h"

namespace apdesk::cli {
namespace {

namespace fs = std::filesystem;
using testsupport::ApsimProcess;

TEST(ApctlAlerts, ReplayedFlightGivesExactlyItsAlerts) {
  if (!ApsimProcess::Available()) GTEST_SKIP() << "apsim is not built beside the tests";
  int argc = 1;
  char name[] = "apctl_alerts_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  char tmpl[] = "/tmp/apctl-alerts-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  const std::string flight = dir + "/flight.hj", socket = dir + "/ap.sock";
  ASSERT_TRUE(testsupport::WriteFlight(flight, testsupport::SagFlight()));
  ApsimProcess apsim;
  ASSERT_TRUE(apsim.Start({"--hidsock", socket, "--no-garbage", "--replay", flight}));

  // 160 of the 200 records: monitor ends before the flight does, so its end
  // is not taken for a controller gone silent.
  std::ostringstream out, err;
  const int status = RunApctl(
      {"--connect", "hidsock:" + socket, "--json", "monitor", "--alerts", "--count", "160"}, out, err);
  apsim.Stop();
  fs::remove_all(dir);
  ASSERT_EQ(status, kExitOk) << err.str();

  const std::regex time(",\"time\":\"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z\"\\}$");
  std::vector<std::string> alerts;
  int records = 0;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("{\"alert\":", 0) != 0) {
      ++records;
      continue;
    }
    EXPECT_TRUE(std::regex_search(line, time)) << line;
    alerts.push_back(std::regex_replace(line, time, "}"));
  }
  EXPECT_EQ(records, 160);
  EXPECT_EQ(alerts,
            (std::vector<std::string>{
                R"({"alert":"altitude_limit","state":"raised","level":"warning","value":112,"limit":120})",
                R"({"alert":"low_voltage","state":"raised","level":"warning","value":3.55,"limit":3.65})",
                R"({"alert":"altitude_limit","state":"cleared","level":"warning","value":50,"limit":120})",
                R"({"alert":"low_voltage","state":"cleared","level":"warning","value":3.95,"limit":3.65})",
            }))
      << out.str();
  EXPECT_EQ(err.str().find("parameters were not read"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace apdesk::cli
