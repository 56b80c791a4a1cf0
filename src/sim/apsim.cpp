// apsim: the simulated controller as a device another process can open.

#include <signal.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/ApsimTransports.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
  g_stop = 1;
}

const char kUsage[] =
    "usage: apsim --serial | --hidsock PATH | --uhid [options]\n"
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
    "  --reversed-compass      the compass check turns counter-clockwise\n"
    "  --seed N                seed of the simulated values and faults (default 1)\n"
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
    "  --vanish-at MS          disappear as an unplugged device would\n";

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

}  // namespace

int main(int argc, char** argv) {
  using apdesk::sim::ServeOptions;
  enum class Mode { kNone, kSerial, kHidSock, kUhid } mode = Mode::kNone;
  std::string socketPath;
  ServeOptions o;
  auto& f = o.sim.faults;

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
    } else if (a == "--serial" || a == "--uhid") {
      if (mode != Mode::kNone) return bad("to be the only transport");
      mode = a == "--serial" ? Mode::kSerial : Mode::kUhid;
    } else if (a == "--hidsock") {
      if (mode != Mode::kNone) return bad("to be the only transport");
      if (value == nullptr) return bad("a socket path");
      mode = Mode::kHidSock;
      socketPath = argv[++i];
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
      std::fprintf(stderr, "apsim: unknown option %s (see --help)\n", a.c_str());
      return 2;
    }
  }
  if (mode == Mode::kNone) {
    std::fputs("apsim: choose --serial, --hidsock PATH or --uhid (see --help)\n", stderr);
    return 2;
  }

  // The signals stay blocked except while waiting, so none is missed between
  // a check of the stop flag and the wait.
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

  switch (mode) {
    case Mode::kSerial:
      return apdesk::sim::ServeSerial(o, &g_stop);
    case Mode::kHidSock:
      return apdesk::sim::ServeHidSock(o, socketPath, &g_stop);
    case Mode::kUhid:
      return apdesk::sim::ServeUhid(o, &g_stop);
    case Mode::kNone:
      break;
  }
  return 2;
}
