// apctl share nmea read by Debian's gpsd: gpsd runs on the loopback address
// with its own port and control socket (never meeting a system gpsd), reads
// apctl's NMEA over TCP, and gpspipe reads its fixes back. They must be the
// records' position, altitude, speed, course and time within NMEA's
// rounding, while another client that never reads stays connected.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "cli/Apctl.h"
#include "cli/CliLink.h"
#include "cli/ExitStatus.h"
#include "common/ChildProcess.h"
#include "common/LoopbackClient.h"
#include "protocol/SentenceBytes.h"
#include "sim/SimHidBackend.h"
#include "sim/StatusSource.h"

namespace apdesk {
namespace {

using testsupport::ChildProcess;
using testsupport::LoopbackClient;

constexpr std::time_t kStart = 1714550400;  // 2024-05-01 08:00:00 UTC
constexpr int kRecords = 250;
constexpr int kIntervalMs = 40;

struct Record {
  float latitude, longitude, courseRadians;
  int altitudeTenths;
  unsigned vx, vy;
};

// Record i moves north-east and climbs, one second of GPS time after i - 1
// (faster than real time, so the test is short and every fix has its own time).
Record RecordAt(int i) {
  return {static_cast<float>(22.5 + i * 1.7e-4),
          static_cast<float>(114.05 + i * 2.3e-4),
          static_cast<float>(std::fmod(i * 0.037, 6.2)),
          -50 + 7 * i,
          100u + 13u * i,
          40u + 29u * i};
}

sim::StatusSource::Sentence SentenceAt(int i) {
  const Record r = RecordAt(i);
  test::Bytes s = test::Status();
  test::PutFloat(s, 4, r.latitude);
  test::PutFloat(s, 8, r.longitude);
  test::PutFloat(s, 20, r.courseRadians);
  s[24] = 11;
  std::tm t{};
  const std::time_t when = kStart + i;
  gmtime_r(&when, &t);
  const int date[] = {t.tm_year + 1900 - 2000, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
  for (int k = 0; k < 6; ++k) s[25 + k] = static_cast<std::uint8_t>(date[k]);
  test::PutU16(s, 48, static_cast<unsigned>(r.altitudeTenths) & 0xFFFF);
  s[50] = static_cast<std::uint8_t>(r.vx >> 8);
  s[51] = static_cast<std::uint8_t>(r.vx);
  s[94] = static_cast<std::uint8_t>(r.vy >> 8);
  s[95] = static_cast<std::uint8_t>(r.vy);
  test::PutSum(s);
  sim::StatusSource::Sentence out;
  std::copy(s.begin(), s.end(), out.begin());
  return out;
}

// The records, one every kIntervalMs from the first time the controller asks.
class SteppedRecords : public sim::StatusSource {
 public:
  void TakeDue(std::int64_t nowMs, std::vector<Sentence>* due) override {
    if (m_firstMs < 0) m_firstMs = nowMs;
    while (m_next < kRecords && m_firstMs + m_next * kIntervalMs <= nowMs)
      due->push_back(SentenceAt(m_next++));
  }
  std::int64_t NextDueMs() const override {
    if (m_firstMs < 0) return 0;
    return m_next < kRecords ? m_firstMs + m_next * kIntervalMs : INT64_MAX;
  }

 private:
  std::int64_t m_firstMs = -1;
  int m_next = 0;
};

// A number field of one JSON line ("lat":22.5); NaN when absent.
double Field(const std::string& json, const std::string& name) {
  const std::size_t at = json.find("\"" + name + "\":");
  return at == std::string::npos ? std::nan("") : std::atof(json.c_str() + at + name.size() + 3);
}

std::string TextField(const std::string& json, const std::string& name) {
  const std::size_t at = json.find("\"" + name + "\":\"");
  if (at == std::string::npos) return "";
  const std::size_t begin = at + name.size() + 4;
  return json.substr(begin, json.find('"', begin) - begin);
}

std::string TimeOf(int i) {
  std::tm t{};
  const std::time_t when = kStart + i;
  gmtime_r(&when, &t);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", &t);
  return text;
}

TEST(GpsdShare, GpsdReadsTheRecordsFromApctl) {
  const std::string gpsd = ChildProcess::Which("gpsd");
  const std::string gpspipe = ChildProcess::Which("gpspipe");
  if (gpsd.empty() || gpspipe.empty())
    GTEST_SKIP() << "gpsd and gpspipe are not installed (scripts/install-deps.sh)";
  int argc = 1;
  char name[] = "gpsd_share_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  char folderTemplate[] = "/tmp/gpsd-share-test-XXXXXX";
  ASSERT_NE(::mkdtemp(folderTemplate), nullptr);
  const std::string folder = folderTemplate;
  const int sharePort = LoopbackClient::FreePort();
  const int gpsdPort = LoopbackClient::FreePort();
  ASSERT_GT(sharePort, 0);
  ASSERT_GT(gpsdPort, 0);

  SteppedRecords records;
  cli::CliHooks hooks;
  hooks.makeSim = [&records](bool) {
    sim::SimOptions o;
    o.statusSource = &records;
    o.faults.garbage = false;
    return sim::MakeSimHidBackend(o);
  };

  // Beside apctl's loop: the client that never reads, gpsd, and gpspipe.
  std::vector<std::string> fixes;
  std::string failure;
  std::thread programs([&] {
    LoopbackClient stalled;
    for (int tries = 0; tries < 200 && !stalled.Connect(sharePort, 1024); ++tries) ::usleep(20000);
    ChildProcess daemon, pipe;
    const std::string source = "tcp://127.0.0.1:" + std::to_string(sharePort);
    if (!daemon.Start(
            {gpsd, "-N", "-n", "-b", "-S", std::to_string(gpsdPort), "-F", folder + "/control", source},
            folder + "/gpsd.log")) {
      failure = "gpsd did not start";
    } else {
      std::string line;
      for (int tries = 0; tries < 50 && fixes.empty() && failure.empty(); ++tries) {
        ::usleep(100000);
        if (!pipe.Start({gpspipe, "-w", "127.0.0.1:" + std::to_string(gpsdPort)}, folder + "/gpspipe.log"))
          break;
        // gpspipe ends at once while gpsd is not yet listening.
        while (pipe.ReadLine(&line, 15000)) {
          if (line.find("\"class\":\"TPV\"") == std::string::npos) continue;
          fixes.push_back(line);
          if (TextField(line, "time") >= TimeOf(kRecords - 5)) break;
        }
      }
      if (fixes.empty()) failure = "gpspipe read no fix from gpsd (see " + folder + "/gpsd.log)";
    }
    pipe.Stop();
    daemon.Stop();
    stalled.Close();
    ::usleep(300000);  // apctl sees the stalled client leave
    cli::g_interrupted.store(true);
  });

  std::ostringstream out, err;
  const int status = cli::RunApctl(
      {"--connect", "sim", "share", "nmea", "--listen", "127.0.0.1:" + std::to_string(sharePort)}, out, err,
      hooks);
  programs.join();
  ASSERT_EQ(failure, "");
  EXPECT_EQ(status, cli::kExitOk) << err.str();

  // Every fix gpsd gives is a record's, field by field.
  int compared = 0, lastRecord = -1;
  std::map<std::string, int> recordOfTime;
  for (int i = 0; i < kRecords; ++i) recordOfTime[TimeOf(i)] = i;
  for (const std::string& fix : fixes) {
    if (Field(fix, "mode") < 2) continue;
    SCOPED_TRACE(fix);
    const auto found = recordOfTime.find(TextField(fix, "time"));
    ASSERT_NE(found, recordOfTime.end());
    const Record r = RecordAt(found->second);
    EXPECT_NEAR(Field(fix, "lat"), r.latitude, 1e-8);
    EXPECT_NEAR(Field(fix, "lon"), r.longitude, 1e-8);
    EXPECT_NEAR(Field(fix, "altMSL"), r.altitudeTenths / 10.0, 1e-3);
    EXPECT_NEAR(Field(fix, "speed"), std::hypot(r.vx, r.vy) / 100.0, 0.004);
    double course = std::fmod(r.courseRadians * 180.0 / 3.14159265, 360.0);
    if (course >= 359.95) course -= 360.0;
    EXPECT_NEAR(Field(fix, "track"), course, 0.051);
    ++compared;
    lastRecord = found->second;
  }
  EXPECT_GT(compared, kRecords / 2) << "gpsd gave too few fixes";
  // The client that never read did not stop gpsd's fixes: they went on to the
  // last records, long after its buffers were full and its lines dropped.
  EXPECT_GE(lastRecord, kRecords - 5);
  EXPECT_NE(err.str().find("it missed "), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("sharing the position as NMEA 0183 on 127.0.0.1:" + std::to_string(sharePort)),
            std::string::npos);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace apdesk
