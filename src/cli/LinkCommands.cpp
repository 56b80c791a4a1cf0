// The commands that watch the link: ports, monitor, inspect and share nmea.
#include <QSerialPortInfo>

#include <cerrno>
#include <iostream>
#include <optional>

#include "cli/CommandContext.h"
#include "cli/ExitStatus.h"
#include "cli/InspectCommand.h"
#include "cli/MonitorAlerts.h"
#include "cli/ParamNames.h"
#include "cli/ShareNmea.h"
#include "cli/TelemetryText.h"
#include "files/WholeFile.h"
#include "link/HidapiBackend.h"
#include "protocol/StatusSentence.h"
#include "recorder/SaveData.h"

namespace apdesk::cli {

int CmdPorts(Context& c) {
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  std::vector<std::string> serial;
  for (const QSerialPortInfo& p : QSerialPortInfo::availablePorts()) {
    std::string line = p.systemLocation().toStdString();
    if (!p.description().isEmpty()) line += " (" + p.description().toStdString() + ")";
    serial.push_back(line);
  }
  std::vector<HidDeviceInfo> usb;
  if (auto backend = MakeHidapiBackend()) usb = backend->Enumerate(kControllerVendorId, kControllerProductId);
  if (c.options.json) {
    c.out << "{\"serial\":[";
    for (std::size_t i = 0; i < serial.size(); ++i) c.out << (i ? "," : "") << JsonString(serial[i]);
    c.out << "],\"usb\":[";
    for (std::size_t i = 0; i < usb.size(); ++i)
      c.out << (i ? "," : "") << "{\"path\":" << JsonString(usb[i].path)
            << ",\"product\":" << JsonString(usb[i].product) << "}";
    c.out << "]}\n";
    return kExitOk;
  }
  c.out << "serial ports:" << (serial.empty() ? " none" : "") << "\n";
  for (const std::string& s : serial) c.out << "  " << s << "\n";
  c.out << "USB devices 0483:5750:" << (usb.empty() ? " none" : "") << "\n";
  for (const HidDeviceInfo& d : usb)
    c.out << "  usb:" << d.path << (d.product.empty() ? "" : " (" + d.product + ")") << "\n";
  return kExitOk;
}

namespace {

// With --alerts the parameters are read first: the alerts come from the
// limits the controller holds.
std::unique_ptr<MonitorAlerts> StartMonitorAlerts(Context& c, CliLink& link, bool wanted) {
  if (!wanted) return nullptr;
  auto alerts = std::make_unique<MonitorAlerts>(c.out, c.err, c.options.json);
  alerts->Connected();
  std::optional<Parameters> parameters;
  if (const std::optional<ParameterView> view = link.ReadParameters())
    parameters = DecodeParameters(view->sentence.data());
  alerts->Parameters(parameters);
  return alerts;
}

// Follow means wait: for a device that is not there yet as well. False when
// monitor ends before it opened, with the status to end with.
bool OpenMonitorLink(Context& c, CliLink& link, bool follow, int* status) {
  if (!follow) return OpenLink(c, link, false, status);
  bool said = false;
  std::string why;
  for (;;) {
    std::unique_ptr<IHidBackend> sim;
    if (c.options.connect.kind == ConnectSpec::Kind::Sim) sim = MakeSim(c, false);
    if (link.Open(c.options.connect, std::move(sim), &why)) break;
    if (!said) c.err << "apctl: " << why << "; waiting for it (Ctrl+C ends)\n" << std::flush;
    said = true;
    link.Sleep(LinkFollower::kLookIntervalMs);
    if (g_interrupted.load()) {
      *status = kExitOk;
      return false;
    }
  }
  if (said) c.err << "apctl: the device is there\n" << std::flush;
  return true;
}

// One monitor run: what was shown, what the recorder was given, and how the
// output fared.
struct Monitor {
  Context& c;
  CliLink& link;
  std::optional<int> count;
  bool follow = false;
  std::unique_ptr<MonitorAlerts> alerts;
  std::unique_ptr<CSaveData> recorder = nullptr;
  int returns = 0;  // the device's returns: the wait for telemetry starts again at each
  long long shown = 0;
  long long lastShown = -1;
  bool outputClosed = false;  // nobody reads what monitor prints: a normal end
  int outputError = 0;        // ... unless the output failed otherwise (a full disk)
  std::uint64_t handedToRecorder = 0;
  bool warnedRecorder = false;
  bool saidSilent = false;

  bool Done() const { return (count && shown >= *count) || outputClosed; }

  void Status(const std::uint8_t* s) {
    if (Done()) return;
    if (recorder && RecordStatusSentence(*recorder, s)) ++handedToRecorder;
    if (recorder && !warnedRecorder && recorder->WriteFailing()) {
      // Said at once, so a long session is not wasted; the records wait in
      // memory in case the disk recovers.
      c.err << "apctl: cannot write " << recorder->RecordFilePath() << ": "
            << FileErrorReason(recorder->LastWriteError()) << "; records are kept until it can be\n";
      warnedRecorder = true;
    }
    if (recorder && alerts) alerts->RecorderFailing(recorder->WriteFailing());
    const TelemetryView view = DecodeStatusSentence(s, AttitudeLabels{}, false);
    errno = 0;
    c.out << (c.options.json ? TelemetryJson(view) : TelemetryLine(view)) << "\n" << std::flush;
    ++shown;
    if (alerts) alerts->Status(s);
    if (!c.out) {
      outputClosed = true;
      if (errno != EPIPE) outputError = errno;
    }
  }

  void FollowDevice() {
    link.Follow([this](bool lost) {
      if (!lost) ++returns;
      if (alerts) lost ? alerts->Lost() : alerts->Returned();
      if (lost) {
        c.err << "apctl: " << Context::kGone << "; waiting for it to return\n" << std::flush;
      } else {
        c.err << "apctl: the device is back after " << link.Follower()->LastReturnMs() / 1000.0 << " s\n"
              << std::flush;
      }
    });
  }

  // Following, a silent controller is waited for: it may be starting slowly,
  // or be its boot loader that becomes the controller again.
  void WaitSilently(long long before) {
    if (!saidSilent)
      c.err
          << "apctl: no telemetry from the controller; waiting (it may be starting, or in its boot loader)\n"
          << std::flush;
    saidSilent = true;
    link.Commands().SendGetParameters();
    link.WaitUntil([&] { return shown != before; }, kAnswerWaitMs);
  }

  // The first record within three tries; after that the stream must not stop
  // for as long.
  int Stream() {
    for (int attempt = 0; attempt < kAnswerTries && shown == 0 && !g_interrupted.load() && !link.Lost();
         ++attempt) {
      link.Commands().SendGetParameters();
      link.WaitUntil([&] { return shown > 0; }, kAnswerWaitMs);
    }
    while (follow && shown == 0 && !g_interrupted.load() && !outputClosed) WaitSilently(0);
    if (shown == 0 && !g_interrupted.load()) return c.NoAnswer(link);
    while (!g_interrupted.load() && !outputClosed && !(count && shown >= *count)) {
      if (shown != lastShown) saidSilent = false;
      lastShown = shown;
      const int returnsBefore = returns;
      link.WaitUntil(
          [&] {
            if (alerts) alerts->Tick();
            return shown != lastShown || (count && shown >= *count) || returns != returnsBefore;
          },
          kAnswerTries * kAnswerWaitMs);
      // While the device is away, monitor waits for it as long as it takes;
      // once it is back, the time for its first record starts then.
      if (shown == lastShown && (link.Away() || returns != returnsBefore)) continue;
      if (shown == lastShown && follow && !g_interrupted.load()) {
        WaitSilently(shown);
        continue;
      }
      if (shown == lastShown && !g_interrupted.load())
        return link.Lost() ? c.Lost() : c.Fail(kExitNoAnswer, "the controller stopped sending telemetry");
    }
    return kExitOk;
  }

  // A failed output or record file turns a clean end into a failure.
  int Finish(int result) {
    if (outputError != 0 && result == kExitOk)
      result = c.Fail(kExitFileError, "cannot write the output: " + FileErrorReason(outputError));
    if (!recorder) return result;
    recorder->Stop();
    const std::uint64_t written = recorder->RecordsWritten();
    if (written < handedToRecorder) {
      const int status = c.Fail(
          kExitFileError, "only " + std::to_string(written) + " of " + std::to_string(handedToRecorder) +
                              " records could be written to " + recorder->RecordFilePath() + ": " +
                              FileErrorReason(recorder->LastWriteError()));
      if (result == kExitOk) result = status;
    } else {
      c.err << "apctl: recorded to " << recorder->RecordFilePath() << " (" << written << " records)\n";
    }
    return result;
  }
};

}  // namespace

int CmdMonitor(Context& c) {
  std::optional<int> count;
  std::string error;
  if (!TakeIntOption(c.args, "--count", 1, 1000000000, &count, &error)) return c.Fail(kExitUsage, error);
  const bool record = TakeFlag(c.args, "--record");
  const bool follow = TakeFlag(c.args, "--follow");
  const bool withAlerts = TakeFlag(c.args, "--alerts");
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  CliLink link;
  if (!OpenMonitorLink(c, link, follow, &status)) return status;
  Monitor m{c, link, count, follow, StartMonitorAlerts(c, link, withAlerts)};
  if (follow) m.FollowDevice();
  if (record) {
    m.recorder = std::make_unique<CSaveData>();
    m.recorder->StartThread();
  }
  link.onStatus = [&m](const std::uint8_t* s) { m.Status(s); };
  const int result = m.Stream();
  link.onStatus = nullptr;
  return m.Finish(result);
}

namespace {

// The link as apctl inspect sees it: the parser's counters and the USB reports.
class CliInspectFeed : public InspectFeed {
 public:
  explicit CliInspectFeed(CliLink& link) : m_link(link) {
    m_link.onHidReport = [this](const std::uint8_t*) { ++m_reports; };
  }
  ~CliInspectFeed() override { m_link.onHidReport = nullptr; }
  const ParserCounters& Counters() const override { return m_link.Counters(); }
  std::uint64_t Reports() const override { return m_reports; }
  bool Run(int ms) override {
    m_link.Sleep(ms);
    return !g_interrupted.load() && !m_link.Lost();
  }

 private:
  CliLink& m_link;
  std::uint64_t m_reports = 0;
};

}  // namespace

int CmdInspect(Context& c) {
  InspectOptions options;
  std::string error;
  if (!TakeInspectOptions(c.args, &options, &error)) return c.Fail(kExitUsage, error);
  options.json = c.options.json;
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  // Asks for the parameters once, as the window does after an open, so a
  // controller that waits to be spoken to starts talking; counting starts after.
  link.Commands().SendGetParameters();
  link.LetSendsLeave(100);
  CliInspectFeed feed(link);
  const InspectOutcome outcome = RunInspect(options, feed, c.out);
  // Ctrl+C ends the count early, as it ends monitor: what was counted is the answer.
  if (!outcome.ranFull && link.Lost()) return c.Lost();
  return kExitOk;
}

int CmdShare(Context& c) {
  if (c.args.empty() || c.args.front() != "nmea")
    return c.Fail(kExitUsage, "share needs nmea (apctl share nmea [--listen HOST:PORT] [--pty])");
  c.args.erase(c.args.begin());
  ShareNmeaOptions options;
  std::string error;
  if (!TakeShareNmeaOptions(c.args, &options, &error)) return c.Fail(kExitUsage, error);
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  return RunShareNmea(link, options, c.err);
}

}  // namespace apdesk::cli
