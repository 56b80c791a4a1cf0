// The commands that make the controller act: calibrate, install-error,
// compass-check and upgrade.
#include <QTimer>

#include <algorithm>
#include <array>
#include <iostream>
#include <optional>

#include "cli/CommandContext.h"
#include "cli/ExitStatus.h"
#include "cli/TelemetryText.h"
#include "gpscheck/CompassJudgement.h"
#include "protocol/CommandFrame.h"
#include "protocol/StatusSentence.h"
#include "upgrade/UpgradeExchange.h"

namespace apdesk::cli {

int CmdCalibrate(Context& c) {
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  if (!WaitForTelemetry(link)) return c.NoAnswer(link);
  link.Commands().SendCommand(CMD_CALIBRATE_STICKS);
  link.LetSendsLeave(100);
  if (link.Lost()) return c.Lost();
  c.out << "calibration started: move both sticks to all their limits and back to the centre;\n"
           "the controller keeps the result (apctl monitor shows the sticks)\n";
  return kExitOk;
}

int CmdInstallError(Context& c) {
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  std::optional<std::array<std::uint8_t, kInstallErrorSentenceLength>> got;
  link.onInstallError = [&got](const std::uint8_t* s) {
    got.emplace();
    std::copy(s, s + kInstallErrorSentenceLength, got->begin());
  };
  for (int attempt = 0; attempt < kAnswerTries && !got && !g_interrupted.load(); ++attempt) {
    link.Commands().SendCommand(CMD_CAPTURE_INSTALL_ERROR);
    link.WaitUntil([&got] { return got.has_value(); }, kAnswerWaitMs);
  }
  if (!got) return c.NoAnswer(link);
  const InstallError e = ReadInstallError(got->data());
  if (c.options.json) {
    c.out << FormatText("{\"first\":%.1f,\"second\":%.1f}\n", static_cast<double>(e.first),
                        static_cast<double>(e.second));
  } else {
    c.out << FormatInstallError("installation error", got->data()) << "\n";
  }
  return kExitOk;
}

namespace {

const char* CompassWord(std::int32_t result) {
  return result == kCompassGood    ? "good"
         : result == kCompassWrong ? "wrong"
                                   : "undecided: turn the aircraft clockwise";
}

}  // namespace

int CmdCompassCheck(Context& c) {
  std::optional<int> seconds;
  std::string error;
  if (!TakeIntOption(c.args, "--seconds", 1, 3600, &seconds, &error)) return c.Fail(kExitUsage, error);
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  if (!WaitForTelemetry(link)) return c.NoAnswer(link);

  CompassJudgement judgement;
  std::int32_t shown = -1;
  link.onStatus = [&](const std::uint8_t* s) {
    const GpsView gps = DecodeGpsFields(s);
    const std::int32_t result = judgement.AddHeading(gps.headingDegrees);
    if (!c.options.json && result != shown) {
      c.out << "heading " << gps.headingText << ": " << CompassWord(result) << "\n" << std::flush;
      shown = result;
    }
  };
  link.Commands().SendFrame(BuildCompassCheckOnFrame());
  if (!c.options.json) c.out << "compass check mode on: turn the aircraft clockwise\n" << std::flush;
  link.WaitUntil([&] { return judgement.Result() != kCompassUndecided; }, seconds.value_or(30) * 1000);
  link.onStatus = nullptr;
  link.Commands().SendFrame(BuildCompassCheckOffFrame());
  link.LetSendsLeave(100);
  const std::int32_t result = judgement.Result();
  if (result == kCompassUndecided && link.Lost()) return c.Lost();
  if (c.options.json) {
    c.out << "{\"result\":"
          << JsonString(result == kCompassGood    ? "good"
                        : result == kCompassWrong ? "wrong"
                                                  : "undecided")
          << ",\"text\":" << JsonString(CompassResultText(result)) << "}\n";
  } else {
    c.out << "compass: " << CompassWord(result) << " (" << CompassResultText(result) << ")\n";
  }
  if (g_interrupted.load()) return kExitInterrupted;
  return result == kCompassGood    ? kExitOk
         : result == kCompassWrong ? kExitCompassWrong
                                   : kExitCompassUndecided;
}

namespace {

const char* PhaseWord(const char* status) {
  const std::string s = status;
  if (s == kUpgradeStatusErase) return "erase";
  if (s == kUpgradeStatusDownload) return "download";
  if (s == kUpgradeStatusVerify) return "verify";
  if (s == kUpgradeStatusVerifyError) return "verify error";
  if (s == kUpgradeStatusSuccess) return "success";
  return "waiting for the boot loader";
}

// Loads the image and refuses one that cannot be served whole.
bool LoadUpgradeImage(Context& c, UpgradeExchange& exchange, int* status) {
  std::string error;
  if (!exchange.LoadImageFile(c.args.front(), &error)) {
    *status = c.Fail(kExitFileError, error);
    return false;
  }
  // Serving nothing would erase the controller and leave it without firmware.
  if (exchange.ImageSize() <= 0) {
    *status = c.Fail(kExitFileError, c.args.front() + " is empty; nothing was sent");
    return false;
  }
  if (exchange.State() != UpgradeState::Loaded) {
    *status = c.Fail(kExitFileError, c.args.front() + " is too large for the controller (" +
                                         std::to_string(exchange.ImageSize()) + " bytes, at most " +
                                         std::to_string(kUpgradeImageLimit - 1) + ")");
    return false;
  }
  return true;
}

// The progress: a bar redrawn in place on a terminal, otherwise a line per
// phase and ten per cent.
class UpgradeProgress {
 public:
  UpgradeProgress(std::ostream& out, const UpgradeExchange& exchange, bool terminal)
      : m_out(out), m_exchange(exchange), m_terminal(terminal) {}

  void Show() {
    const int max = m_exchange.ProgressMaximum() > 0 ? m_exchange.ProgressMaximum() : 1;
    const int pos = std::min(m_exchange.ProgressPosition(), max);
    const int percent = pos * 100 / max;
    const char* phase = PhaseWord(m_exchange.Status());
    std::string line;
    if (m_terminal) {
      const int filled = percent * 30 / 100;
      line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
             std::string(static_cast<std::size_t>(30 - filled), '-') + "] " +
             FormatText("%3d%% %-28s", percent, phase);
    } else {
      line = FormatText("%s %d%%", phase, percent / 10 * 10);
    }
    if (line != m_lastLine) m_out << line << (m_terminal ? "" : "\n") << std::flush;
    m_lastLine = line;
  }
  // The bar's line ends when the upgrade does.
  void End() {
    if (m_terminal) m_out << "\n";
  }

 private:
  std::ostream& m_out;
  const UpgradeExchange& m_exchange;
  const bool m_terminal;
  std::string m_lastLine;
};

// Where the exchange stands: a step that moves on changes it.
std::int64_t ExchangeMark(const UpgradeExchange& exchange) {
  return static_cast<std::int64_t>(exchange.State()) * 100000000LL + exchange.ProgressPosition();
}

// The boot loader must announce itself; then every step must move on within
// `wait`. The exit status of the exchange.
int ServeImage(CliLink& link, UpgradeExchange& exchange, const bool& succeeded, UpgradeProgress& progress,
               int wait) {
  const bool announced = link.WaitUntil(
      [&] {
        progress.Show();
        return exchange.State() != UpgradeState::Loaded;
      },
      wait);
  if (!announced)
    return g_interrupted.load() ? kExitInterrupted : link.Lost() ? kExitNoDevice : kExitNoBootLoader;
  int result = kExitOk;
  while (!succeeded && exchange.State() != UpgradeState::Idle && !g_interrupted.load()) {
    const std::int64_t lastMark = ExchangeMark(exchange);
    link.WaitUntil(
        [&] {
          progress.Show();
          return succeeded || exchange.State() == UpgradeState::Idle || ExchangeMark(exchange) != lastMark;
        },
        wait);
    if (!succeeded && exchange.State() != UpgradeState::Idle && ExchangeMark(exchange) == lastMark &&
        !g_interrupted.load()) {
      result = link.Lost() ? kExitNoDevice : kExitNoAnswer;
      break;
    }
  }
  progress.Show();
  if (result != kExitOk) return result;
  if (succeeded) {
    // The finish report is sent until the boot loader acknowledges it.
    link.WaitUntil([&] { return exchange.FinishAcknowledged(); }, 1000);
    return kExitOk;
  }
  if (std::string(exchange.Status()) == kUpgradeStatusVerifyError) return kExitVerifyError;
  return g_interrupted.load() ? kExitInterrupted : kExitFailure;
}

int ReportUpgrade(Context& c, int result, const UpgradeExchange& exchange, int wait) {
  switch (result) {
    case kExitOk:
      c.out << "upgrade succeeded: the image was written and verified\n";
      break;
    case kExitVerifyError:
      c.Fail(result, "verify error: the controller's read-back differs from the image");
      break;
    case kExitNoBootLoader:
      c.Fail(result, "no boot loader announced itself in " + std::to_string(wait / 1000) + " s");
      break;
    case kExitNoAnswer:
      c.Fail(result, std::string("the boot loader stopped answering during ") + PhaseWord(exchange.Status()));
      break;
    case kExitNoDevice:
      c.Fail(result, std::string("the device is gone (unplugged?) during ") + PhaseWord(exchange.Status()) +
                         "; the controller may need the upgrade again");
      break;
    case kExitInterrupted:
      c.Fail(result, "interrupted; the controller may need the upgrade again");
      break;
    default:
      c.Fail(result, "the upgrade ended without success");
      break;
  }
  return result;
}

}  // namespace

int CmdUpgrade(Context& c) {
  if (c.args.size() != 1) return c.Fail(kExitUsage, "upgrade needs one FILE.bin");
  if (c.options.connect.kind == ConnectSpec::Kind::Serial)
    return c.Fail(kExitUsage,
                  "the boot loader is reached over USB only (--connect usb, usb:PATH, hidsock:PATH or sim)");
  UpgradeExchange exchange;
  int status = 0;
  if (!LoadUpgradeImage(c, exchange, &status)) return status;
  CliLink link;
  if (!OpenLink(c, link, true, &status)) return status;

  bool succeeded = false;
  link.onHidReport = [&](const std::uint8_t* report) {
    const UpgradeResult r = exchange.HandleReport(report);
    for (std::size_t i = 0; i < r.replyCount; ++i) link.Hid().WriteReport(r.replies[i].data());
    if (r.succeeded) succeeded = true;
  };
  UpgradeProgress progress(c.out, exchange, c.Terminal());
  QTimer tick;
  tick.setInterval(100);
  QObject::connect(&tick, &QTimer::timeout, [&] { exchange.Tick(); });
  tick.start();
  const int wait = c.hooks.bootLoaderWaitMs;
  const int result = ServeImage(link, exchange, succeeded, progress, wait);
  progress.End();
  link.onHidReport = nullptr;
  return ReportUpgrade(c, result, exchange, wait);
}

}  // namespace apdesk::cli
