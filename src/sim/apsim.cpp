// apsim: the simulated controller as a device another process can open.

#include <signal.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "cmdline/BuildVersion.h"
#include "cmdline/NearName.h"

#include "recorder/ReplayPacer.h"
#include "sim/ApsimTransports.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
  g_stop = 1;
}

const char kUsage[] =
    "usage: apsim --serial | --hidsock PATH | --uhid [options]\n"
    "       apsim --help | --version\n"
    "\n"
    "Plays the flight controller (or its boot loader) on one transport:\n"
    "  --serial          a pseudo-terminal; its path is printed on one line\n"
    "  --link PATH       with --serial: also a symbolic link PATH to it, removed at the end\n"
    "  --hidsock PATH    a SOCK_SEQPACKET socket, one 64-byte report per packet\n"
    "  --uhid            a 0483:5750 HID device through /dev/uhid\n"
    "The first line on stdout says the device is ready. SIGTERM or SIGINT ends it.\n"
    "\n"
    "Options:\n"
    "  --bootloader            play the boot loader's side of a firmware upgrade\n"
    "  --image-out FILE        write the received image there when the upgrade completes\n"
    "  --rate HZ               telemetry sentences a second (default 10)\n"
    "  --replay FILE           send a flight record's telemetry at its recorded pace instead\n"
    "                          (from when apsim is ready); silent once played out\n"
    "  --speed X               replay speed, 0.1 to 10 (default 1)\n"
    "  --reversed-compass      the compass check turns counter-clockwise\n"
    "  --seed N                seed of the simulated values and faults (default 1)\n"
    "  --start TIME            the GPS clock's start, YYYY-MM-DDTHH:MM:SSZ or seconds since\n"
    "                          1970 (default: the present UTC time)\n"
    "  --pacing MS             gap between boot-loader reports (default 1; 0: none)\n"
    "  --retry MS              boot loader repeats an unanswered request after MS (default 100)\n"
    "  --erase-step MS         time per erase step (default 20)\n"
    "Faults:\n"
    "  --drop SHARE            lose this share (0 to 1) of reports, or bytes on serial\n"
    "  --corrupt SHARE         alter one byte in this share\n"
    "  --duplicate SHARE       send this share twice\n"
    "  --no-garbage            no bursts of stray bytes between sentences\n"
    "  --corrupt-readback N    read-back of block N carries a wrong byte\n"
    "  --drop-block-request N  the first request for block N is lost\n"
    "  --wrong-readback N      the first read-back asked for block N carries block N+1\n"
    "  --stall-at MS --stall-for MS   go silent for a while\n"
    "  --vanish-at MS          disappear as an unplugged device would\n"
    "Exit status: 0 ended by a signal, 1 failure, 2 bad command line.\n";

// Every option, for "did you mean".
const std::vector<std::string> kOptions = {"--help",
                                           "--version",
                                           "--serial",
                                           "--uhid",
                                           "--hidsock",
                                           "--link",
                                           "--bootloader",
                                           "--reversed-compass",
                                           "--no-garbage",
                                           "--image-out",
                                           "--rate",
                                           "--replay",
                                           "--speed",
                                           "--drop",
                                           "--corrupt",
                                           "--duplicate",
                                           "--seed",
                                           "--start",
                                           "--pacing",
                                           "--retry",
                                           "--erase-step",
                                           "--corrupt-readback",
                                           "--drop-block-request",
                                           "--wrong-readback",
                                           "--stall-at",
                                           "--stall-for",
                                           "--vanish-at"};

// "2026-12-09T00:00:00Z" or seconds since 1970.
bool ParseStart(const char* s, std::int64_t& out) {
  if (s == nullptr) return false;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  char zone = 0, extra = 0;
  if (std::sscanf(s, "%4d-%2d-%2dT%2d:%2d:%2d%c%c", &year, &month, &day, &hour, &minute, &second, &zone,
                  &extra) == 7 &&
      zone == 'Z') {
    // The controller's clock holds years 2000 to 2255.
    if (year < 2000 || year > 2255 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 59)
      return false;
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    const std::time_t v = timegm(&t);
    if (t.tm_mday != day) return false;  // 31 April and the like
    out = static_cast<std::int64_t>(v);
    return true;
  }
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s, &end, 10);
  // 2000-01-01 to the end of 2255.
  if (*s == '\0' || errno != 0 || *end != '\0' || v < 946684800LL || v > 8804995199LL) return false;
  out = v;
  return true;
}

bool ParseDouble(const char* s, double lo, double hi, double& out) {
  if (s == nullptr || *s == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(s, &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
  out = v;
  return true;
}

bool ParseInt(const char* s, long long lo, long long hi, long long& out) {
  if (s == nullptr || *s == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s, &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

// The recorded flight as the flight software's telemetry.
class ReplaySource : public apdesk::sim::StatusSource {
 public:
  explicit ReplaySource(apdesk::ReplayPacer* pacer) : m_pacer(pacer) {}

  void TakeDue(std::int64_t nowMs, std::vector<Sentence>* due) override {
    if (!m_started) {
      m_pacer->Start(nowMs);
      m_started = true;
    }
    m_pacer->NextDue(nowMs, due);
    if (m_pacer->Finished() && !m_told) {
      m_told = true;
      std::fprintf(stderr, "apsim: replay played out: %zu records", m_pacer->Played());
      if (m_pacer->Skipped() > 0) std::fprintf(stderr, ", %zu damaged records skipped", m_pacer->Skipped());
      if (m_pacer->ReadFailed()) std::fprintf(stderr, ", stopped by a read error");
      std::fprintf(stderr, "\n");
    }
  }
  std::int64_t NextDueMs() const override {
    if (!m_started) return 0;  // due at once: the first call starts the clock
    if (m_pacer->Finished()) return m_told ? INT64_MAX : 0;
    return m_pacer->NextDueMs().value_or(INT64_MAX);
  }

 private:
  apdesk::ReplayPacer* m_pacer;
  bool m_started = false;
  bool m_told = false;
};

// What the command line asks for.
struct Invocation {
  enum class Mode { kNone, kSerial, kHidSock, kUhid } mode = Mode::kNone;
  std::string socketPath;
  apdesk::sim::ServeOptions o;
  std::string replayPath;
  double replaySpeed = 1.0;
  bool speedGiven = false;
};

// Reads the options into `run`: -1 to go on, else the exit status (0 after
// --help or --version, 2 for a bad command line).
int ReadArguments(int argc, char** argv, Invocation& run) {
  using Mode = Invocation::Mode;
  Mode& mode = run.mode;
  apdesk::sim::ServeOptions& o = run.o;
  auto& f = o.sim.faults;
  // The GPS clock starts at the present, as a real receiver's does, so a
  // record's name and its times agree.
  o.sim.startUtc = static_cast<std::int64_t>(std::time(nullptr));

  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto bad = [&](const char* what) {
      std::fprintf(stderr, "apsim: %s needs %s\n", a.c_str(), what);
      return 2;
    };
    double d = 0;
    long long n = 0;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("apsim %s\n", apdesk::kBuildVersion);
      return 0;
    } else if (a == "--start") {
      std::int64_t start = 0;
      if (!ParseStart(value, start))
        return bad("a time YYYY-MM-DDTHH:MM:SSZ (2000 to 2255) or seconds since 1970");
      o.sim.startUtc = start;
      ++i;
    } else if (a == "--serial" || a == "--uhid") {
      if (mode != Mode::kNone) return bad("to be the only transport");
      mode = a == "--serial" ? Mode::kSerial : Mode::kUhid;
    } else if (a == "--hidsock") {
      if (mode != Mode::kNone) return bad("to be the only transport");
      if (value == nullptr) return bad("a socket path");
      mode = Mode::kHidSock;
      run.socketPath = argv[++i];
    } else if (a == "--link") {
      if (value == nullptr) return bad("a path for the link to the pseudo-terminal");
      o.serialLink = argv[++i];
    } else if (a == "--bootloader") {
      o.sim.bootloader = true;
    } else if (a == "--reversed-compass") {
      o.sim.reversedCompass = true;
    } else if (a == "--no-garbage") {
      f.garbage = false;
    } else if (a == "--image-out") {
      if (value == nullptr || *value == '\0') return bad("a file name");
      o.imageOut = argv[++i];
    } else if (a == "--rate") {
      if (!ParseDouble(value, 0.1, 1000, d)) return bad("a rate from 0.1 to 1000 Hz");
      o.sim.rateHz = d;
      ++i;
    } else if (a == "--replay") {
      if (value == nullptr || *value == '\0') return bad("a flight record file");
      run.replayPath = argv[++i];
    } else if (a == "--speed") {
      if (!ParseDouble(value, apdesk::ReplayPacer::kMinSpeed, apdesk::ReplayPacer::kMaxSpeed, d))
        return bad("a speed from 0.1 to 10");
      run.replaySpeed = d;
      run.speedGiven = true;
      ++i;
    } else if (a == "--drop" || a == "--corrupt" || a == "--duplicate") {
      if (!ParseDouble(value, 0, 1, d)) return bad("a share from 0 to 1");
      (a == "--drop" ? f.dropShare : a == "--corrupt" ? f.corruptShare : f.duplicateShare) = d;
      ++i;
    } else if (a == "--seed") {
      if (!ParseInt(value, 0, 0xFFFFFFFFLL, n)) return bad("a number from 0 to 4294967295");
      o.sim.seed = static_cast<std::uint32_t>(n);
      ++i;
    } else if (a == "--pacing" || a == "--retry" || a == "--erase-step") {
      if (!ParseInt(value, a == "--retry" ? 1 : 0, 60000, n)) return bad("milliseconds up to 60000");
      (a == "--pacing"  ? o.sim.bootPacingMs
       : a == "--retry" ? o.sim.bootRetryMs
                        : o.sim.eraseStepMs) = static_cast<int>(n);
      ++i;
    } else if (a == "--corrupt-readback" || a == "--drop-block-request" || a == "--wrong-readback") {
      if (!ParseInt(value, 0, 1 << 20, n)) return bad("a block number");
      (a == "--corrupt-readback"     ? f.corruptReadBackBlock
       : a == "--drop-block-request" ? f.dropBlockRequest
                                     : f.wrongReadBackBlock) = static_cast<int>(n);
      ++i;
    } else if (a == "--stall-at" || a == "--stall-for" || a == "--vanish-at") {
      if (!ParseInt(value, 0, 1LL << 40, n)) return bad("milliseconds");
      (a == "--stall-at" ? f.stallAtMs : a == "--stall-for" ? f.stallForMs : f.vanishAtMs) = n;
      ++i;
    } else {
      std::fprintf(stderr, "apsim: unknown option %s%s (see --help)\n", a.c_str(),
                   apdesk::DidYouMean(a, kOptions).c_str());
      return 2;
    }
  }
  if (mode == Mode::kNone) {
    std::fputs("apsim: choose --serial, --hidsock PATH or --uhid (see --help)\n", stderr);
    return 2;
  }
  return -1;
}

// The signals stay blocked except while waiting, so none is missed between
// a check of the stop flag and the wait.
void TakeStopSignals() {
  sigset_t block;
  sigemptyset(&block);
  sigaddset(&block, SIGTERM);
  sigaddset(&block, SIGINT);
  sigprocmask(SIG_BLOCK, &block, nullptr);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  Invocation run;
  if (const int status = ReadArguments(argc, argv, run); status >= 0) return status;
  using Mode = Invocation::Mode;
  apdesk::sim::ServeOptions& o = run.o;
  const std::string& replayPath = run.replayPath;

  if (run.speedGiven && replayPath.empty()) {
    std::fputs("apsim: --speed is the speed of a replay; it needs --replay FILE\n", stderr);
    return 2;
  }

  apdesk::ReplayPacer pacer;
  ReplaySource replay(&pacer);
  if (!replayPath.empty()) {
    if (o.sim.bootloader) {
      std::fputs("apsim: --replay plays the flight software, not the boot loader\n", stderr);
      return 2;
    }
    std::string error;
    if (!pacer.Open(replayPath, &error)) {
      std::fprintf(stderr, "apsim: %s\n", error.c_str());
      return 1;  // a file that cannot be read is a failure, not a bad command line
    }
    pacer.SetSpeed(run.replaySpeed, 0);
    o.sim.statusSource = &replay;
  }

  TakeStopSignals();
  switch (run.mode) {
    case Mode::kSerial:
      return apdesk::sim::ServeSerial(o, &g_stop);
    case Mode::kHidSock:
      return apdesk::sim::ServeHidSock(o, run.socketPath, &g_stop);
    case Mode::kUhid:
      return apdesk::sim::ServeUhid(o, &g_stop);
    case Mode::kNone:
      break;
  }
  return 2;
}
