#include "cli/Apctl.h"

#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "cli/CliArgs.h"
#include "cli/CliLink.h"
#include "cli/Doctor.h"
#include "cli/ExitStatus.h"
#include "cli/FdOutput.h"
#include "cli/InspectCommand.h"
#include "cli/MapCommand.h"
#include "cli/MonitorAlerts.h"
#include "cli/ParamNames.h"
#include "cli/ShareNmea.h"
#include "cli/TelemetryText.h"
#include "cli/UdevRule.h"
#include "cmdline/BuildVersion.h"
#include "cmdline/NearName.h"
#include "core/AppFolder.h"
#include "files/RegularFile.h"
#include "files/WholeFile.h"
#include "gpscheck/CompassJudgement.h"
#include "link/HidapiBackend.h"
#include "localisation/LanguageFile.h"
#include "params/SnapshotStore.h"
#include "protocol/CommandFrame.h"
#include "protocol/StatusSentence.h"
#include "recorder/RecordFile.h"
#include "recorder/SaveData.h"
#include "sim/SimHidBackend.h"
#include "upgrade/UpgradeExchange.h"

namespace apdesk::cli {

// Commands run against a connection: Device opens it and reports.
struct Context {
  CliOptions options;
  std::vector<std::string> args;  // the command's own arguments, after its name(s)
  std::ostream& out;
  std::ostream& err;
  const CliHooks& hooks;

  int Fail(int status, const std::string& message) {
    err << "apctl: " << message << "\n";
    return status;
  }
  // A wait ended without what it waited for: Ctrl+C, a device that went away,
  // or silence, in that order. After a write the operator must know that the
  // controller may hold the new values, unconfirmed.
  int NoAnswer(const CliLink& link, bool afterWrite = false) {
    const std::string sent = afterWrite ? "; the values were sent but are not confirmed" : "";
    if (g_interrupted.load()) return Fail(kExitInterrupted, "interrupted" + sent);
    if (link.Lost()) return Fail(kExitNoDevice, std::string(kGone) + sent);
    return Fail(kExitNoAnswer,
                std::string(afterWrite ? "no answer to the read-back" : "no answer from the controller") +
                    " (asked " + std::to_string(kAnswerTries) + " times in " +
                    std::to_string(kAnswerTries * kAnswerWaitMs / 1000) + " s)" + sent);
  }
  int Lost() { return Fail(kExitNoDevice, kGone); }
  static constexpr const char* kGone = "the device is gone (unplugged, or its port closed)";
  bool Terminal() const { return hooks.outputIsTerminal.value_or(isatty(1) != 0); }
};

namespace {

// Flushes out and tells whether everything written so far reached it; errno
// then says why not.
bool OutputWritten(std::ostream& out) {
  errno = 0;
  out.flush();
  if (out) return true;
  if (const auto* fd = dynamic_cast<const FdOutput*>(out.rdbuf()); fd != nullptr && fd->FirstError() != 0)
    errno = fd->FirstError();
  if (errno == 0) errno = EIO;
  return false;
}

// A parameter file is under a kilobyte; anything this large is another file.
constexpr std::size_t kMaxParameterFileBytes = kMaxSnapshotBytes;

// Reads a whole small text file; a pipe or device is refused without waiting.
bool ReadTextFile(const std::string& path, std::size_t maxBytes, std::string* text, std::string* error) {
  RegularFileOptions options;
  options.maxBytes = maxBytes;
  std::string why;
  if (ReadRegularFile(path, options, text, &why) == FileOpen::Ok) return true;
  *error = "cannot read " + path + ": " + why;
  return false;
}

std::unique_ptr<IHidBackend> DefaultSim(bool bootloader) {
  sim::SimOptions options;
  options.bootloader = bootloader;
  options.startUtc = static_cast<std::int64_t>(std::time(nullptr));  // the GPS clock is the present
  return sim::MakeSimHidBackend(options);
}

bool OpenLink(Context& c, CliLink& link, bool bootloader, int* status) {
  std::unique_ptr<IHidBackend> sim;
  if (c.options.connect.kind == ConnectSpec::Kind::Sim)
    sim = c.hooks.makeSim ? c.hooks.makeSim(bootloader) : DefaultSim(bootloader);
  std::string error;
  if (!link.Open(c.options.connect, std::move(sim), &error)) {
    *status = c.Fail(kExitNoDevice, error);
    return false;
  }
  return true;
}

bool NoExtraArgs(Context& c, int* status) {
  if (c.args.empty()) return true;
  *status = c.Fail(kExitUsage, "unexpected argument \"" + c.args.front() + "\"");
  return false;
}

// Waits for telemetry, asking for the parameters as the window does after an
// open, so a silent controller is noticed before a command is sent blind.
bool WaitForTelemetry(CliLink& link) {
  bool seen = false;
  auto previous = link.onStatus;
  link.onStatus = [&seen](const std::uint8_t*) { seen = true; };
  for (int attempt = 0; attempt < kAnswerTries && !seen && !g_interrupted.load(); ++attempt) {
    link.Commands().SendGetParameters();
    link.WaitUntil([&seen] { return seen; }, kAnswerWaitMs);
  }
  link.onStatus = previous;
  return seen;
}

// ---- ports ----

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

// ---- monitor ----

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
  if (follow) {
    // Follow means wait: for a device that is not there yet as well.
    bool said = false;
    std::string why;
    for (;;) {
      std::unique_ptr<IHidBackend> sim;
      if (c.options.connect.kind == ConnectSpec::Kind::Sim)
        sim = c.hooks.makeSim ? c.hooks.makeSim(false) : DefaultSim(false);
      if (link.Open(c.options.connect, std::move(sim), &why)) break;
      if (!said) c.err << "apctl: " << why << "; waiting for it (Ctrl+C ends)\n" << std::flush;
      said = true;
      link.Sleep(LinkFollower::kLookIntervalMs);
      if (g_interrupted.load()) return kExitOk;
    }
    if (said) c.err << "apctl: the device is there\n" << std::flush;
  } else if (!OpenLink(c, link, false, &status)) {
    return status;
  }
  std::unique_ptr<MonitorAlerts> alerts = StartMonitorAlerts(c, link, withAlerts);
  // Counts the device's returns: the wait for telemetry starts again at each.
  int returns = 0;
  if (follow) {
    link.Follow([&c, &link, &returns, &alerts](bool lost) {
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
  std::unique_ptr<CSaveData> recorder;
  if (record) {
    recorder = std::make_unique<CSaveData>();
    recorder->StartThread();
  }
  long long shown = 0;
  long long lastShown = -1;
  bool outputClosed = false;  // nobody reads what monitor prints: a normal end
  int outputError = 0;        // ... unless the output failed otherwise (a full disk)
  std::uint64_t handedToRecorder = 0;
  bool warnedRecorder = false;
  link.onStatus = [&](const std::uint8_t* s) {
    if ((count && shown >= *count) || outputClosed) return;
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
  };
  // The first record within three tries; after that the stream must not stop
  // for as long.
  for (int attempt = 0; attempt < kAnswerTries && shown == 0 && !g_interrupted.load() && !link.Lost();
       ++attempt) {
    link.Commands().SendGetParameters();
    link.WaitUntil([&] { return shown > 0; }, kAnswerWaitMs);
  }
  // Following, a silent controller is waited for: it may be starting slowly,
  // or be its boot loader that becomes the controller again.
  bool saidSilent = false;
  auto waitSilently = [&](long long before) {
    if (!saidSilent)
      c.err
          << "apctl: no telemetry from the controller; waiting (it may be starting, or in its boot loader)\n"
          << std::flush;
    saidSilent = true;
    link.Commands().SendGetParameters();
    link.WaitUntil([&] { return shown != before; }, kAnswerWaitMs);
  };
  while (follow && shown == 0 && !g_interrupted.load() && !outputClosed) waitSilently(0);
  int result = kExitOk;
  if (shown == 0 && !g_interrupted.load()) {
    result = c.NoAnswer(link);
  } else {
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
        waitSilently(shown);
        continue;
      }
      if (shown == lastShown && !g_interrupted.load()) {
        result = link.Lost() ? c.Lost() : c.Fail(kExitNoAnswer, "the controller stopped sending telemetry");
        break;
      }
    }
  }
  link.onStatus = nullptr;
  if (outputError != 0 && result == kExitOk) {
    result = c.Fail(kExitFileError, "cannot write the output: " + FileErrorReason(outputError));
  }
  if (recorder) {
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
  }
  return result;
}

// ---- inspect ----

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

// ---- params ----

// ---- parameter history ----

std::string TransportName(const ConnectSpec& t) {
  switch (t.kind) {
    case ConnectSpec::Kind::Usb:
      return "usb";
    case ConnectSpec::Kind::UsbPath:
      return "usb:" + t.path;
    case ConnectSpec::Kind::Serial:
      return "serial:" + t.path;
    case ConnectSpec::Kind::HidSock:
      return "hidsock:" + t.path;
    case ConnectSpec::Kind::Sim:
      break;
  }
  return "sim";
}

// Stores what the controller holds before `write` changes it. A write goes
// ahead without a snapshot only when the operator said so.
bool SnapshotBefore(Context& c, const ParameterSentence& held, const std::string& write, bool noSnapshot,
                    int* status) {
  if (noSnapshot) return true;
  const std::optional<Parameters> p = DecodeParameters(held.data());
  if (!p) {
    *status = c.Fail(kExitFailure, "the controller's parameter sentence has a wrong sum; nothing was sent");
    return false;
  }
  FileNotes notes;
  notes.transport = TransportName(c.options.connect);
  notes.write = write;
  std::string path, error;
  if (!SnapshotStore().Store(*p, notes, &path, &error)) {
    *status = c.Fail(kExitFileError, error + "; nothing was sent (--no-snapshot writes without one)");
    return false;
  }
  c.err << "apctl: snapshot " << path << "\n";
  return true;
}

// English texts of the parameters' labels, units and descriptions.
struct ParameterTexts {
  LanguageSection pub, window;
  std::string Find(const LanguageSection& s, const std::string& key) const {
    for (std::size_t i = 0; i < s.keys.size(); ++i)
      if (s.keys[i] == key) return s.values[i];
    return {};
  }
};

ParameterTexts ReadParameterTexts() {
  ParameterTexts t;
  char exe[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  const std::string folder = LanguageFolderFor(AppFolderFromExecutablePath(n > 0 ? exe : "./apctl"));
  ReadLanguageSection(folder + "Default.ini", "public", false, t.pub);
  ReadLanguageSection(folder + "Default.ini", "parameter", false, t.window);
  return t;
}

int PrintParametersVerbose(Context& c, const ParameterView& view) {
  const std::optional<Parameters> p = DecodeParameters(view.sentence.data());
  if (!p) return c.Fail(kExitFailure, "the controller's parameter sentence has a wrong sum");
  const ParameterTexts texts = ReadParameterTexts();
  std::string json = "[";
  for (const ParameterFacts& facts : ParameterTable()) {
    const std::string value = FormatParameterValue(facts, p->Code(facts.id));
    const std::string unit = facts.unitKey ? texts.Find(texts.pub, facts.unitKey) : "";
    const std::string label = texts.Find(texts.window, std::to_string(facts.labelControl));
    const std::string description = texts.Find(texts.pub, facts.descriptionKey);
    const std::string allowed = AllowedValues(facts);
    if (c.options.json) {
      if (json.size() > 1) json += ",";
      json += "{\"name\":" + JsonString(facts.name) + ",\"value\":" + JsonString(value) +
              ",\"unit\":" + JsonString(unit) + ",\"allowed\":" + JsonString(allowed) +
              ",\"label\":" + JsonString(label) + ",\"description\":" + JsonString(description) + "}";
    } else {
      c.out << facts.name << "=" << value << "\n    " << label << (unit.empty() ? "" : " (" + unit + ")")
            << "; " << allowed << ". " << description << "\n";
    }
  }
  if (c.options.json) c.out << json << "]\n";
  return kExitOk;
}

// A snapshot's name, or the path of a parameter file; parsed and checked.
bool ReadSnapshotOrFile(Context& c, const std::string& what, ParameterFile* file, std::string* shownAs,
                        int* status) {
  std::string path = what;
  struct stat info {};
  if (stat(what.c_str(), &info) != 0) {
    SnapshotEntry entry;
    std::string error;
    if (!SnapshotStore().Find(what, &entry, &error)) {
      *status = c.Fail(kExitFileError, error);
      return false;
    }
    path = entry.path;
  }
  std::string text, error;
  if (!ReadTextFile(path, kMaxParameterFileBytes, &text, &error)) {
    *status = c.Fail(kExitFileError, error);
    return false;
  }
  if (!ParseParameterFile(text, file, &error)) {
    *status = c.Fail(kExitFileError, path + ": " + error + "; nothing was sent");
    return false;
  }
  *shownAs = path;
  return true;
}

int PrintParameters(Context& c, const ParameterView& view) {
  const std::vector<NamedValue> values = NamedParameters(view);
  c.out << (c.options.json ? FormatNamedJson(values) + "\n" : FormatNamedText(values));
  return kExitOk;
}

// The number a value text holds, when it is one.
std::optional<double> NumberIn(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
  return v;
}

// Writes the block, reads back and compares. `edits` (from the command line)
// are checked against what was confirmed, so a value the controller keeps in
// coarser steps is not passed off as written as given.
int WriteAndConfirm(Context& c, CliLink& link, const ParameterBlock& block,
                    const std::vector<NamedValue>& edits = {}) {
  link.Commands().SendParameters(block);
  link.Sleep(300);  // as the window waits after a restore, before asking again
  const std::optional<ParameterView> back = link.ReadParameters();
  if (!back) return c.NoAnswer(link, true);
  const std::vector<std::string> differences = CompareReadBack(block, back->sentence);
  if (!differences.empty()) {
    for (const std::string& d : differences) c.err << "apctl: " << d << "\n";
    return c.Fail(kExitMismatch, "the controller did not take the values written");
  }
  PrintParameters(c, *back);
  const std::vector<NamedValue> confirmed = NamedParameters(*back);
  for (const NamedValue& edit : edits) {
    for (const NamedValue& held : confirmed) {
      if (held.name != edit.name) continue;
      const std::optional<double> asked = NumberIn(edit.value), got = NumberIn(held.value);
      if (asked && got && *asked != *got) {
        c.err << "apctl: " << edit.name << "=" << edit.value
              << " was rounded to the controller's step: " << held.value << "\n";
      }
    }
  }
  c.err << "apctl: written and confirmed by reading back\n";
  return kExitOk;
}

int CmdParamsGet(Context& c) {
  const bool verbose = TakeFlag(c.args, "--verbose");
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  const std::optional<ParameterView> view = link.ReadParameters();
  if (!view) return c.NoAnswer(link);
  if (verbose) return PrintParametersVerbose(c, *view);
  return PrintParameters(c, *view);
}

int CmdParamsSet(Context& c) {
  const bool noSnapshot = TakeFlag(c.args, "--no-snapshot");
  if (c.args.empty()) return c.Fail(kExitUsage, "params set needs NAME=VALUE ...");
  std::vector<NamedValue> edits;
  for (const std::string& a : c.args) {
    NamedValue v;
    std::string error;
    if (!ParseAssignment(a, &v, &error)) return c.Fail(kExitBadValue, error + "; nothing was sent");
    for (const NamedValue& earlier : edits) {
      if (earlier.name == v.name)
        return c.Fail(kExitUsage, v.name + " is given twice (" + earlier.value + " and " + v.value +
                                      "); nothing was sent");
    }
    edits.push_back(v);
  }
  int status = 0;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  const std::optional<ParameterView> current = link.ReadParameters();
  if (!current) return c.NoAnswer(link);
  ParameterBlock block{};
  std::string error;
  if (!BlockWithEdits(current->sentence, edits, &block, &error))
    return c.Fail(kExitBadValue, error + "; nothing was sent");
  if (!SnapshotBefore(c, current->sentence, "params set", noSnapshot, &status)) return status;
  return WriteAndConfirm(c, link, block, edits);
}

int CmdParamsSave(Context& c) {
  if (c.args.size() != 1) return c.Fail(kExitUsage, "params save needs one FILE");
  const std::string path = c.args.front();
  int status = 0;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  const std::optional<ParameterView> view = link.ReadParameters();
  if (!view) return c.NoAnswer(link);
  std::string error;
  if (!WriteWholeFile(path, FormatParameterFile(*view), &error)) return c.Fail(kExitFileError, error);
  c.err << "apctl: parameters saved to " << path << "\n";
  return kExitOk;
}

int CmdParamsLoad(Context& c) {
  const bool noSnapshot = TakeFlag(c.args, "--no-snapshot");
  if (c.args.size() != 1) return c.Fail(kExitUsage, "params load needs one FILE");
  const std::string path = c.args.front();
  std::string text, error;
  if (!ReadTextFile(path, kMaxParameterFileBytes, &text, &error)) return c.Fail(kExitFileError, error);
  ParameterFile file;
  if (!ParseParameterFile(text, &file, &error))
    return c.Fail(kExitFileError, path + ": " + error + "; nothing was sent");
  ParameterBlock block{};
  if (!BlockFromParameterFile(file, &block, &error))
    return c.Fail(kExitBadValue, path + ": " + error + "; nothing was sent");
  int status = 0;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  // Only a controller that answers is written to.
  const std::optional<ParameterView> held = link.ReadParameters();
  if (!held) return c.NoAnswer(link);
  if (!SnapshotBefore(c, held->sentence, "params load", noSnapshot, &status)) return status;
  // The file's values are checked against what is confirmed, as params set's.
  return WriteAndConfirm(c, link, block, file.values);
}

// The values of a snapshot or file, checked before the controller is
// opened, then what the controller holds.
bool ReadFileThenController(Context& c, const std::string& what, const char* refusalTail, CliLink& link,
                            Parameters* wanted, Parameters* held, std::vector<NamedValue>* named,
                            int* status) {
  ParameterFile file;
  std::string path, error;
  if (!ReadSnapshotOrFile(c, what, &file, &path, status)) return false;
  *named = file.values;
  if (!ParametersFromFile(file, wanted, &error)) {
    *status = c.Fail(kExitBadValue, path + ": " + error + refusalTail);
    return false;
  }
  if (!OpenLink(c, link, false, status)) return false;
  const std::optional<ParameterView> view = link.ReadParameters();
  const std::optional<Parameters> decoded =
      view ? DecodeParameters(view->sentence.data()) : std::optional<Parameters>{};
  if (!decoded) {
    *status = c.NoAnswer(link);
    return false;
  }
  *held = *decoded;
  return true;
}

// The named values that differ between the controller and a file.
int CmdParamsDiff(Context& c) {
  if (c.args.size() != 1) return c.Fail(kExitUsage, "params diff needs one FILE");
  Parameters wanted, held;
  std::vector<NamedValue> named;
  int status = 0;
  CliLink link;
  if (!ReadFileThenController(c, c.args.front(), "", link, &wanted, &held, &named, &status)) return status;
  std::string json = "[";
  int differing = 0;
  for (const ParameterFacts& facts : ParameterTable()) {
    const std::string have = FormatParameterValue(facts, held.Code(facts.id));
    std::string want = FormatParameterValue(facts, wanted.Code(facts.id));
    bool differs = held.Code(facts.id) != wanted.Code(facts.id);
    // A number is compared as the file writes it: 8.05 is not the 8.04 the
    // controller would round it to.
    for (const NamedValue& v : named) {
      const std::optional<double> inFile = NumberIn(v.value), inController = NumberIn(have);
      if (v.name != facts.name || !inFile || !inController) continue;
      differs = *inFile != *inController;
      want = v.value;
    }
    if (!differs) continue;
    ++differing;
    if (c.options.json) {
      if (json.size() > 1) json += ",";
      json += "{\"name\":" + JsonString(facts.name) + ",\"controller\":" + JsonString(have) +
              ",\"file\":" + JsonString(want) + "}";
    } else {
      c.out << facts.name << ": controller " << have << ", file " << want << "\n";
    }
  }
  if (c.options.json)
    c.out << "{\"equal\":" << (differing == 0 ? "true" : "false") << ",\"differences\":" << json << "]}\n";
  return differing == 0 ? kExitOk : kExitFailure;
}

int CmdParamsHistory(Context& c) {
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  const SnapshotStore store;
  const std::vector<SnapshotEntry> entries = store.List();
  std::string json = "[";
  for (const SnapshotEntry& e : entries) {
    if (c.options.json) {
      if (json.size() > 1) json += ",";
      json += "{\"name\":" + JsonString(e.name) + ",\"time\":" + JsonString(e.notes.time) +
              ",\"before\":" + JsonString(e.notes.write) + ",\"transport\":" + JsonString(e.notes.transport) +
              ",\"future\":" + (e.future ? "true" : "false") + ",\"damage\":" + JsonString(e.damage) + "}";
    } else {
      c.out << e.name << "  " << (e.notes.time.empty() ? "(no time)" : e.notes.time);
      if (e.future) c.out << " (dated in the future)";
      if (!e.notes.write.empty()) c.out << "  before " << e.notes.write;
      if (!e.notes.transport.empty()) c.out << "  (" << e.notes.transport << ")";
      if (!e.damage.empty()) c.out << "  DAMAGED: " << e.damage;
      c.out << "\n";
    }
  }
  if (c.options.json) c.out << json << "]\n";
  if (entries.empty() && !c.options.json) c.err << "apctl: no snapshots in " << store.Folder() << "\n";
  return kExitOk;
}

// A snapshot or file written back, whole or only the named parameters.
int CmdParamsRestore(Context& c) {
  const bool noSnapshot = TakeFlag(c.args, "--no-snapshot");
  std::optional<std::string> only;
  std::string error;
  // --only may be given more than once: the names add up.
  for (std::optional<std::string> more;; more.reset()) {
    if (!TakeStringOption(c.args, "--only", "", &more, &error)) return c.Fail(kExitUsage, error);
    if (!more) break;
    only = only ? *only + "," + *more : *more;
  }
  if (c.args.size() != 1) return c.Fail(kExitUsage, "params restore needs one SNAPSHOT or FILE");
  std::vector<const ParameterFacts*> chosen;
  if (only) {
    std::stringstream names(*only);
    std::string name;
    while (std::getline(names, name, ',')) {
      const ParameterFacts* facts = FindParameter(name);
      if (!facts) return c.Fail(kExitBadValue, UnknownParameterText(name) + " in --only");
      chosen.push_back(facts);
    }
    if (chosen.empty()) return c.Fail(kExitUsage, "--only needs NAME,...");
  }
  Parameters wanted, held;
  std::vector<NamedValue> named;
  int status = 0;
  CliLink link;
  if (!ReadFileThenController(c, c.args.front(), "; nothing was sent", link, &wanted, &held, &named, &status))
    return status;
  // With --only the controller's own sentence carries everything else.
  Parameters target = wanted;
  if (only) {
    target = held;
    for (const ParameterFacts* facts : chosen) target.SetCode(facts->id, wanted.Code(facts->id));
    named.erase(std::remove_if(named.begin(), named.end(),
                               [&](const NamedValue& v) {
                                 return std::none_of(
                                     chosen.begin(), chosen.end(),
                                     [&](const ParameterFacts* f) { return v.name == f->name; });
                               }),
                named.end());
  }
  if (!SnapshotBefore(c, held.sentence, "params restore", noSnapshot, &status)) return status;
  return WriteAndConfirm(c, link, EncodeParameters(target), named);
}

int CmdParams(Context& c) {
  if (c.args.empty())
    return c.Fail(kExitUsage, "params needs get, set, save, load, diff, history or restore");
  const std::string sub = c.args.front();
  c.args.erase(c.args.begin());
  if (sub == "get") return CmdParamsGet(c);
  if (sub == "set") return CmdParamsSet(c);
  if (sub == "save") return CmdParamsSave(c);
  if (sub == "load") return CmdParamsLoad(c);
  if (sub == "diff") return CmdParamsDiff(c);
  if (sub == "history") return CmdParamsHistory(c);
  if (sub == "restore") return CmdParamsRestore(c);
  return c.Fail(kExitUsage,
                "unknown params command \"" + sub + "\": use get, set, save, load, diff, history or restore");
}

// ---- defaults, calibrate, install-error ----

int CmdDefaults(Context& c) {
  const bool yes = TakeFlag(c.args, "--yes");
  const bool noSnapshot = TakeFlag(c.args, "--no-snapshot");
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  if (!yes) {
    if (!c.hooks.inputIsTerminal.value_or(isatty(0) != 0))
      return c.Fail(kExitUsage, "defaults asks for confirmation: run it on a terminal or add --yes");
    c.err << "Restore the controller's default parameters? [y/N] " << std::flush;
    std::string answer;
    std::getline(c.hooks.input ? *c.hooks.input : std::cin, answer);
    if (answer != "y" && answer != "Y" && answer != "yes")
      return c.Fail(kExitFailure, "not confirmed; nothing was sent");
  }
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  if (!WaitForTelemetry(link)) return c.NoAnswer(link);
  if (!noSnapshot) {
    const std::optional<ParameterView> held = link.ReadParameters();
    if (!held) return c.NoAnswer(link);
    if (!SnapshotBefore(c, held->sentence, "defaults", false, &status)) return status;
  }
  link.Commands().SendRestoreDefaults();
  link.Sleep(300);
  const std::optional<ParameterView> view = link.ReadParameters();
  if (!view) return c.NoAnswer(link, true);
  c.err << "apctl: defaults restored\n";
  if (const std::optional<Parameters> defaults = DecodeParameters(view->sentence.data())) {
    std::string error;
    if (!SnapshotStore().StoreDefaults(*defaults, &error))
      c.err << "apctl: the defaults could not be kept in the history: " << error << "\n";
  }
  return PrintParameters(c, *view);
}

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

// ---- compass-check ----

const char* CompassWord(std::int32_t result) {
  return result == kCompassGood    ? "good"
         : result == kCompassWrong ? "wrong"
                                   : "undecided: turn the aircraft clockwise";
}

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

// ---- upgrade ----

const char* PhaseWord(const char* status) {
  const std::string s = status;
  if (s == kUpgradeStatusErase) return "erase";
  if (s == kUpgradeStatusDownload) return "download";
  if (s == kUpgradeStatusVerify) return "verify";
  if (s == kUpgradeStatusVerifyError) return "verify error";
  if (s == kUpgradeStatusSuccess) return "success";
  return "waiting for the boot loader";
}

int CmdUpgrade(Context& c) {
  if (c.args.size() != 1) return c.Fail(kExitUsage, "upgrade needs one FILE.bin");
  if (c.options.connect.kind == ConnectSpec::Kind::Serial)
    return c.Fail(kExitUsage,
                  "the boot loader is reached over USB only (--connect usb, usb:PATH, hidsock:PATH or sim)");
  UpgradeExchange exchange;
  std::string error;
  if (!exchange.LoadImageFile(c.args.front(), &error)) return c.Fail(kExitFileError, error);
  // Serving nothing would erase the controller and leave it without firmware.
  if (exchange.ImageSize() <= 0)
    return c.Fail(kExitFileError, c.args.front() + " is empty; nothing was sent");
  if (exchange.State() != UpgradeState::Loaded)
    return c.Fail(kExitFileError, c.args.front() + " is too large for the controller (" +
                                      std::to_string(exchange.ImageSize()) + " bytes, at most " +
                                      std::to_string(kUpgradeImageLimit - 1) + ")");
  int status = 0;
  CliLink link;
  if (!OpenLink(c, link, true, &status)) return status;

  bool succeeded = false;
  link.onHidReport = [&](const std::uint8_t* report) {
    const UpgradeResult r = exchange.HandleReport(report);
    for (std::size_t i = 0; i < r.replyCount; ++i) link.Hid().WriteReport(r.replies[i].data());
    if (r.succeeded) succeeded = true;
  };
  const bool terminal = c.Terminal();
  std::string lastLine;
  auto show = [&] {
    const int max = exchange.ProgressMaximum() > 0 ? exchange.ProgressMaximum() : 1;
    const int pos = std::min(exchange.ProgressPosition(), max);
    const int percent = pos * 100 / max;
    const char* phase = PhaseWord(exchange.Status());
    if (terminal) {
      const int filled = percent * 30 / 100;
      std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                         std::string(static_cast<std::size_t>(30 - filled), '-') + "] " +
                         FormatText("%3d%% %-28s", percent, phase);
      if (line != lastLine) c.out << line << std::flush;
      lastLine = line;
    } else {
      const std::string line = FormatText("%s %d%%", phase, percent / 10 * 10);
      if (line != lastLine) c.out << line << "\n" << std::flush;
      lastLine = line;
    }
  };
  QTimer tick;
  tick.setInterval(100);
  QObject::connect(&tick, &QTimer::timeout, [&] { exchange.Tick(); });
  tick.start();

  // The boot loader must announce itself; then every step must move on.
  const int wait = c.hooks.bootLoaderWaitMs;
  bool announced = link.WaitUntil(
      [&] {
        show();
        return exchange.State() != UpgradeState::Loaded;
      },
      wait);
  int result = kExitOk;
  if (!announced) {
    result = g_interrupted.load() ? kExitInterrupted : link.Lost() ? kExitNoDevice : kExitNoBootLoader;
  } else {
    std::int64_t lastMark = -1;
    while (!succeeded && exchange.State() != UpgradeState::Idle && !g_interrupted.load()) {
      const std::int64_t mark =
          static_cast<std::int64_t>(exchange.State()) * 100000000LL + exchange.ProgressPosition();
      lastMark = mark;
      link.WaitUntil(
          [&] {
            show();
            return succeeded || exchange.State() == UpgradeState::Idle ||
                   static_cast<std::int64_t>(exchange.State()) * 100000000LL + exchange.ProgressPosition() !=
                       lastMark;
          },
          wait);
      if (!succeeded && exchange.State() != UpgradeState::Idle &&
          static_cast<std::int64_t>(exchange.State()) * 100000000LL + exchange.ProgressPosition() ==
              lastMark &&
          !g_interrupted.load()) {
        result = link.Lost() ? kExitNoDevice : kExitNoAnswer;
        break;
      }
    }
    show();
    if (result == kExitOk) {
      if (succeeded) {
        // The finish report is sent until the boot loader acknowledges it.
        link.WaitUntil([&] { return exchange.FinishAcknowledged(); }, 1000);
      } else if (std::string(exchange.Status()) == kUpgradeStatusVerifyError) {
        result = kExitVerifyError;
      } else {
        result = g_interrupted.load() ? kExitInterrupted : kExitFailure;
      }
    }
  }
  if (terminal) c.out << "\n";
  link.onHidReport = nullptr;
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

// ---- record ----

// The record files an argument names: the file itself, or the ".hj" files of
// a directory in name order. False, with the reason, when there are none.
bool RecordFilesOf(const std::string& arg, std::vector<std::string>* files, std::string* error) {
  struct stat st {};
  if (stat(arg.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    files->push_back(arg);  // the reader says what is wrong with it
    return true;
  }
  std::error_code ec;
  std::vector<std::string> found;
  for (std::filesystem::directory_iterator it(arg, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->path().extension() == ".hj" && it->is_regular_file(typeError))
      found.push_back((std::filesystem::path(arg) / it->path().filename()).string());
  }
  if (ec) {
    *error = arg + ": " + ec.message();
    return false;
  }
  if (found.empty()) {
    *error = arg + ": no record files (*.hj) in this directory";
    return false;
  }
  std::sort(found.begin(), found.end());
  files->insert(files->end(), found.begin(), found.end());
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string ExportSummary(const ExportCounts& counts) {
  std::string text =
      std::to_string(counts.exported) + " of " + std::to_string(counts.records) + " records exported";
  if (counts.skipped > 0) text += ", " + std::to_string(counts.skipped) + " damaged records skipped";
  if (counts.trailingBytes > 0)
    text += ", " + std::to_string(counts.trailingBytes) + " trailing bytes ignored";
  return text;
}

// Streams the export of `input` to `path` as apctl writes every result: a
// regular file is replaced whole (a failed export leaves the earlier one), a
// symbolic link keeps pointing where it did, a device or pipe is written
// through.
bool ExportToFile(const std::string& input, ExportFormat format, const std::string& sourceName,
                  const std::string& path, ExportCounts* counts, std::string* error) {
  return WriteFileStreamed(
      path,
      [&](std::ostream& out, std::string* why) {
        return ExportRecordFile(input, format, sourceName, out, counts, why);
      },
      error);
}

std::string BaseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int CmdRecordExport(Context& c) {
  std::string error;
  std::optional<std::string> format, output, outDir;
  if (!TakeStringOption(c.args, "--format", "", &format, &error) ||
      !TakeStringOption(c.args, "-o", "", &output, &error) ||
      !TakeStringOption(c.args, "--out-dir", "", &outDir, &error))
    return c.Fail(kExitUsage, error);
  if (c.args.empty()) return c.Fail(kExitUsage, "record export needs a FILE or DIR");
  if (!format) return c.Fail(kExitUsage, "record export needs --format csv, jsonl, gpx or kml");
  const std::optional<ExportFormat> f = ParseExportFormat(*format);
  if (!f) return c.Fail(kExitUsage, "unknown format \"" + *format + "\": use csv, jsonl, gpx or kml");
  if (output && outDir) return c.Fail(kExitUsage, "use either -o or --out-dir");
  std::vector<std::string> files;
  int status = kExitOk;
  for (const std::string& arg : c.args) {
    if (!RecordFilesOf(arg, &files, &error)) status = c.Fail(kExitFileError, error);
  }
  if (!outDir) {
    if (files.size() != 1 || status != kExitOk)
      return c.Fail(kExitUsage, "several record files (or a directory) need --out-dir OUT");
    const std::string& input = files.front();
    if (output && SameFile(input, *output))
      return c.Fail(kExitUsage, "-o " + *output + " is the flight record itself; it is left as it is");
    if (!HoldsFlightRecord(input, &error)) return c.Fail(kExitFileError, error);
    ExportCounts counts;
    const bool ok = output ? ExportToFile(input, *f, BaseName(input), *output, &counts, &error)
                           : ExportRecordFile(input, *f, BaseName(input), c.out, &counts, &error);
    if (!ok) return c.Fail(kExitFileError, error);
    if (!output && !OutputWritten(c.out))
      return c.Fail(kExitFileError, "cannot write the export to the output: " + FileErrorReason(errno));
    c.err << "apctl: " << ExportSummary(counts) << (output ? " to " + *output : std::string()) << "\n";
    return kExitOk;
  }
  std::error_code ec;
  std::filesystem::create_directories(*outDir, ec);
  if (ec) return c.Fail(kExitFileError, *outDir + ": " + ec.message());
  // One export per record file, named after it; each row names the file it
  // came from (as given), so the exports together are one data set.
  std::vector<std::string> written, exported;
  for (const std::string& input : files) {
    // The same file named twice (or by two paths) is exported once.
    if (std::any_of(exported.begin(), exported.end(),
                    [&](const std::string& earlier) { return SameFile(earlier, input); })) {
      c.err << "apctl: " << input << ": given more than once; exported once\n";
      continue;
    }
    std::string name = BaseName(input);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".hj") == 0) name.resize(name.size() - 3);
    const std::string out = (std::filesystem::path(*outDir) / (name + "." + ExportFormatName(*f))).string();
    if (std::find(written.begin(), written.end(), out) != written.end()) {
      status = c.Fail(kExitFileError, input + ": not exported, " + out +
                                          " already holds the export of another file of that name");
      continue;
    }
    if (SameFile(input, out)) {
      status = c.Fail(kExitFileError, input + ": not exported, " + out + " is the flight record itself");
      continue;
    }
    if (!HoldsFlightRecord(input, &error)) {
      status = c.Fail(kExitFileError, error);
      continue;
    }
    ExportCounts counts;
    const std::string source = *f == ExportFormat::Csv || *f == ExportFormat::Jsonl ? input : BaseName(input);
    if (!ExportToFile(input, *f, source, out, &counts, &error)) {
      status = c.Fail(kExitFileError, error);
      continue;
    }
    written.push_back(out);
    exported.push_back(input);
    c.err << "apctl: " << input << ": " << ExportSummary(counts) << " to " << out << "\n";
  }
  if (status != kExitOk)
    c.err << "apctl: " << written.size() << " of " << files.size() << " record files exported\n";
  return status;
}

int CmdRecord(Context& c) {
  if (c.args.empty()) return c.Fail(kExitUsage, "record needs info or export");
  const std::string sub = c.args.front();
  c.args.erase(c.args.begin());
  std::string error;
  if (sub == "info") {
    if (c.args.size() != 1) return c.Fail(kExitUsage, "record info needs one FILE");
    RecordInfo info;
    if (!SummariseRecordFile(c.args.front(), &info, &error)) return c.Fail(kExitFileError, error);
    c.out << (c.options.json ? RecordInfoJson(info, c.args.front()) + "\n"
                             : FormatRecordInfo(info, c.args.front()));
    return kExitOk;
  }
  if (sub == "export") return CmdRecordExport(c);
  return c.Fail(kExitUsage, "unknown record command \"" + sub + "\": use info or export");
}

// ---- doctor ----

int CmdDoctor(Context& c) {
  if (TakeFlag(c.args, "--udev-rule")) {
    c.out << kUdevRule;
    return kExitOk;
  }
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  const std::string port = c.options.connect.kind == ConnectSpec::Kind::Serial ? c.options.connect.path : "";
  // The windows' settings file, beside the programs or in the user's folder.
  char self[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string settings =
      n > 0 ? ResolveSettingsPath(AppFolderFromExecutablePath(std::string(self, static_cast<std::size_t>(n))))
            : std::string();
  const DoctorFacts facts = GatherDoctorFacts("", port, settings);
  const std::string installRule =
      std::string("apctl doctor --udev-rule | sudo tee ") + kUdevRuleInstalled +
      " >/dev/null && sudo udevadm control --reload-rules && sudo udevadm trigger";
  const std::vector<Finding> findings = Diagnose(facts, installRule);
  c.out << (c.options.json ? FindingsJson(facts, findings) + "\n" : FormatFindings(facts, findings));
  return AnyBlocks(findings) ? kExitFailure : kExitOk;
}

// ---- share ----

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

// ---- map ----

int CmdMap(Context& c) {
  char self[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string settings =
      n > 0 ? ResolveSettingsPath(AppFolderFromExecutablePath(std::string(self, static_cast<std::size_t>(n))))
            : std::string();
  return RunMapCommand(c.args, c.options.json, settings, c.out, c.err);
}

}  // namespace

namespace {

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const CliHooks& hooks, bool* readerMayLeave) {
  g_interrupted.store(false);
  Context c{{}, {}, out, err, hooks};
  std::string error;
  if (!ParseGlobalOptions(args, &c.options, &error)) {
    err << "apctl: " << error << "\n";
    return kExitUsage;
  }
  if (c.options.help) {
    out << HelpText() << ExitStatusTable();
    return kExitOk;
  }
  if (c.options.version) {
    out << "apctl " << kBuildVersion << "\n";
    return kExitOk;
  }
  const std::string command = c.options.command.front();
  c.args.assign(c.options.command.begin() + 1, c.options.command.end());
  if (command == "ports") return CmdPorts(c);
  if (command == "monitor") {
    *readerMayLeave = true;  // `apctl monitor | head` ends monitor as Ctrl+C does
    return CmdMonitor(c);
  }
  if (command == "inspect") return CmdInspect(c);
  if (command == "params") return CmdParams(c);
  if (command == "defaults") return CmdDefaults(c);
  if (command == "calibrate") return CmdCalibrate(c);
  if (command == "install-error") return CmdInstallError(c);
  if (command == "compass-check") return CmdCompassCheck(c);
  if (command == "upgrade") return CmdUpgrade(c);
  if (command == "record") return CmdRecord(c);
  if (command == "doctor") return CmdDoctor(c);
  if (command == "share") return CmdShare(c);
  if (command == "map") return CmdMap(c);
  if (command == "help") {
    out << HelpText() << ExitStatusTable();
    return kExitOk;
  }
  const std::string near =
      NearestName(command, {"ports", "monitor", "inspect", "params", "defaults", "calibrate", "install-error",
                            "compass-check", "upgrade", "record", "doctor", "help"});
  return c.Fail(kExitUsage, "unknown command \"" + command + "\"" +
                                (near.empty() ? std::string(" (apctl --help lists them)")
                                              : " (did you mean \"" + near + "\"?)"));
}

}  // namespace

int RunApctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const CliHooks& hooks) {
  bool readerMayLeave = false;
  const int status = RunCommand(args, out, err, hooks, &readerMayLeave);
  // The result that did not reach its reader (a full disk, a closed pipe) is
  // a failure, whatever the command made of it.
  if (!OutputWritten(out) && !readerMayLeave) {
    // Said whatever the command's own status: a doctor's findings or a diff
    // lost on a full disk would otherwise end without a word.
    err << "apctl: cannot write the output: " << FileErrorReason(errno) << "\n";
    return status != kExitOk ? status : kExitFileError;
  }
  return status;
}

}  // namespace apdesk::cli
