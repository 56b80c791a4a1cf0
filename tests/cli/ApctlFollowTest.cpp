// apctl monitor across a controller that goes away and comes back (apsim
// stopped and started again at the same path), and over a serial line whose
// bytes another reader takes before monitor reads them.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

#include "cli/Apctl.h"
#include "cli/CliLink.h"
#include "cli/ExitStatus.h"
#include "cli/TelemetryText.h"
#include "common/ApsimProcess.h"
#include "link/LinkTestSupport.h"
#include "protocol/StatusSentence.h"
#include "recorder/RecordFile.h"

namespace apdesk::cli {
namespace {

namespace fs = std::filesystem;
using testsupport::ApsimProcess;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class ApctlFollow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ApsimProcess::Available()) GTEST_SKIP() << "apsim is not built beside the tests";
    char tmpl[] = "/tmp/apctl-follow-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    apsim_.Stop();
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  struct Run {
    int status = -1;
    std::string out, err;
    std::size_t linesBeforeStop = 0;
    std::size_t linesAfterReturn = 0;
    double returnSeconds = -1;  // from apsim's restart to the first record after it
  };

  // Runs `monitor --follow --record` while apsim (started with `args`) is
  // stopped after 1.5 s and started again 1 s later; Ctrl+C 4 s after that.
  Run FollowAcrossRestart(const std::vector<std::string>& args, const std::string& connect) {
    Run run;
    if (!apsim_.Start(args)) {
      ADD_FAILURE() << "apsim did not start";
      return run;
    }
    std::ostringstream out, err;
    QElapsedTimer sinceRestart;
    std::size_t linesAtRestart = 0;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (!sinceRestart.isValid() || run.returnSeconds >= 0) return;
      if (SplitLines(out.str()).size() > linesAtRestart) run.returnSeconds = sinceRestart.elapsed() / 1000.0;
    });
    watch.start();
    QTimer::singleShot(1500, [&] {
      run.linesBeforeStop = SplitLines(out.str()).size();
      apsim_.Stop();
    });
    QTimer::singleShot(2500, [&] {
      linesAtRestart = SplitLines(out.str()).size();
      sinceRestart.start();
      EXPECT_TRUE(apsim_.Start(args));
      QTimer::singleShot(4000, [] { g_interrupted.store(true); });
    });
    const fs::path old = fs::current_path();
    fs::current_path(dir_);
    run.status = RunApctl({"--connect", connect, "monitor", "--follow", "--record"}, out, err);
    fs::current_path(old);
    run.out = out.str();
    run.err = err.str();
    run.linesAfterReturn = SplitLines(run.out).size() - linesAtRestart;
    return run;
  }

  // The record file holds exactly the records monitor printed, whole and in order.
  void ExpectRecordFileMatches(const Run& run) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir_ + "/Hj")) files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u) << "one record file throughout";
    RecordScan scan;
    std::string error;
    ASSERT_TRUE(ReadRecordFile(files[0].string(), &scan, &error)) << error;
    EXPECT_EQ(scan.skipped, 0u);
    EXPECT_EQ(scan.trailingBytes, 0u);
    const std::vector<std::string> shown = SplitLines(run.out);
    ASSERT_EQ(scan.records.size(), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const TelemetryView view = DecodeStatusSentence(scan.records[i].data(), AttitudeLabels{}, false);
      ASSERT_EQ(TelemetryLine(view), shown[i]) << "record " << i;
    }
  }

  void ExpectFollowed(const Run& run, const char* what) {
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(Count(run.err, "waiting for it to return"), 1u) << run.err;
    EXPECT_EQ(Count(run.err, "the device is back after"), 1u) << run.err;
    EXPECT_GE(run.linesBeforeStop, 5u);
    EXPECT_GE(run.linesAfterReturn, 10u) << run.err;
    // The target is 2 s; the bound is generous for a busy machine.
    ASSERT_GE(run.returnSeconds, 0);
    EXPECT_LT(run.returnSeconds, 5.0);
    std::printf("[ figure ] %s: talking again %.2f s after the device returned\n", what, run.returnSeconds);
    RecordProperty("return_seconds", std::to_string(run.returnSeconds));
  }

  ApsimProcess apsim_;
  std::string dir_;
};

TEST_F(ApctlFollow, MonitorFollowsASerialPortThatGoesAndReturns) {
  const std::string link = dir_ + "/ttyAP";
  const Run run = FollowAcrossRestart({"--serial", "--link", link, "--no-garbage"}, "serial:" + link);
  ExpectFollowed(run, "serial");
  ExpectRecordFileMatches(run);
}

TEST_F(ApctlFollow, MonitorFollowsAUsbDeviceThatGoesAndReturns) {
  const std::string socket = dir_ + "/ap.sock";
  const Run run = FollowAcrossRestart({"--hidsock", socket, "--no-garbage"}, "hidsock:" + socket);
  ExpectFollowed(run, "hidsock");
  ExpectRecordFileMatches(run);
}

// Follow means wait: for a device not there yet, for a boot loader that
// becomes the controller again, for a controller silent for seconds at its
// start. Each case ends by Ctrl+C with records shown after the wait.
TEST_F(ApctlFollow, MonitorFollowWaitsForAbsentBootLoaderAndSlowDevices) {
  const std::string socket = dir_ + "/ap.sock";
  const std::vector<std::string> plain = {"--hidsock", socket, "--no-garbage"};
  std::vector<std::string> bootLoader = plain, slow = plain;
  bootLoader.push_back("--bootloader");
  slow.insert(slow.end(), {"--stall-at", "0", "--stall-for", "4000"});
  struct Step {
    int atMs;
    std::vector<std::string> start;  // empty: stop apsim
  };
  struct Case {
    const char* what;
    std::vector<std::string> first;  // apsim at the start; empty: none
    std::vector<Step> steps;
    int endMs;
  };
  const Case cases[] = {
      {"no device at the start", {}, {{1500, plain}}, 5000},
      {"back as its boot loader", plain, {{1500, {}}, {2000, bootLoader}, {5500, {}}, {6000, plain}}, 9500},
      {"silent for four seconds at its start", slow, {}, 8000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_interrupted.store(false);
    if (!c.first.empty()) {
      ASSERT_TRUE(apsim_.Start(c.first));
    }
    std::ostringstream out, err;
    std::size_t linesAtLastStep = 0;
    for (const Step& step : c.steps) {
      QTimer::singleShot(step.atMs, [&, step] {
        linesAtLastStep = SplitLines(out.str()).size();
        if (step.start.empty()) {
          apsim_.Stop();
        } else {
          EXPECT_TRUE(apsim_.Start(step.start));
        }
      });
    }
    QTimer::singleShot(c.endMs, [] { g_interrupted.store(true); });
    const int status = RunApctl({"--connect", "hidsock:" + socket, "monitor", "--follow"}, out, err);
    apsim_.Stop();
    EXPECT_EQ(status, kExitOk) << err.str();
    EXPECT_EQ(err.str().find("stopped sending"), std::string::npos) << err.str();
    EXPECT_GE(SplitLines(out.str()).size(), linesAtLastStep + 10) << err.str();
    if (c.first.empty()) {
      EXPECT_NE(err.str().find("waiting for it"), std::string::npos) << err.str();
    }
  }
  g_interrupted.store(false);
}

// Another reader on the same line takes the bytes, and flushes it, between
// the port's wake-up and monitor's read: the read finds nothing, which is not
// a failure of the line. Monitor carries on and shows records afterwards.
TEST_F(ApctlFollow, MonitorCarriesOnWhenWokenBytesVanish) {
  const std::string link = dir_ + "/ttyAP";
  ASSERT_TRUE(apsim_.Start({"--serial", "--link", link, "--no-garbage", "--rate", "50"}));
  std::atomic<bool> stealing{false}, stop{false};
  std::atomic<int> stolen{0};
  std::thread thief([&] {
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return;
    char buf[256];
    while (!stop.load()) {
      if (!stealing.load()) {
        usleep(1000);
        continue;
      }
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 10) > 0) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) stolen.fetch_add(static_cast<int>(n));
        ::tcflush(fd, TCIFLUSH);
      }
    }
    ::close(fd);
  });
  std::ostringstream out, err;
  std::size_t linesAfterTheft = 0;
  QTimer::singleShot(1000, [&] { stealing.store(true); });
  QTimer::singleShot(2500, [&] {
    stealing.store(false);
    linesAfterTheft = SplitLines(out.str()).size();
  });
  QTimer::singleShot(4000, [] { g_interrupted.store(true); });
  const int status = RunApctl({"--connect", "serial:" + link, "monitor"}, out, err);
  stop.store(true);
  thief.join();
  EXPECT_EQ(status, kExitOk) << err.str();
  EXPECT_EQ(err.str().find("gone"), std::string::npos) << err.str();
  EXPECT_GT(stolen.load(), 99) << "the other reader took the line's bytes";
  EXPECT_GE(SplitLines(out.str()).size(), linesAfterTheft + 20) << "records after the theft ended";
}

}  // namespace
}  // namespace apdesk::cli
