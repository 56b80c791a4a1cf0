#include "cli/CliLink.h"

#include "link/PortProblem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/HidBackendFactory.h"
#include "core/CommConfig.h"
#include "sim/SimOptions.h"

namespace apdesk::cli {

std::atomic<bool> g_interrupted{false};

namespace {

void OnInterrupt(int) {
  g_interrupted.store(true);
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  // A reader that went away (apctl monitor | head) shows as a failed write,
  // so monitor can end as on Ctrl+C and keep every record it took.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

CliLink::CliLink() : m_session(MakeNoDeviceBackend()) {
  m_session.Usb().SetNotifier([this](TransportFailure why) { m_hidFailure = WordsFor(why, false).builtIn; });
  // A failed read or write means the port is gone; the command says so.
  QObject::connect(&m_session, &ControllerSession::LinkLost, [this](bool serial, TransportFailure) {
    if (serial) m_serialFailed = true;
  });
  QObject::connect(&m_session, &ControllerSession::StatusSentence, [this](const std::uint8_t* s) {
    if (onStatus) onStatus(s);
  });
  QObject::connect(&m_session, &ControllerSession::ParameterSentence, [this](const std::uint8_t* s) {
    const std::optional<ParameterView> view = DecodeParameterSentence(s);
    if (view && onParameters) onParameters(*view);
  });
  QObject::connect(&m_session, &ControllerSession::InstallErrorSentence, [this](const std::uint8_t* s) {
    if (onInstallError) onInstallError(s);
  });
  QObject::connect(&m_session, &ControllerSession::UsbReport, [this](const std::uint8_t* report) {
    if (onHidReport) onHidReport(report);
  });
}

CliLink::~CliLink() {
  m_session.Close();
  m_session.Stop();
}

bool CliLink::Open(const ConnectSpec& target, std::unique_ptr<IHidBackend> simBackend, std::string* error) {
  m_hidFailure.clear();
  m_serialFailed = false;
  if (target.kind == ConnectSpec::Kind::Serial) {
    if (!m_session.OpenSerial(target.path, LineSettingsFromStored(std::nullopt))) {
      const std::string why = SerialPortProblem(target.path);
      *error = "cannot open the serial port " + target.path + (why.empty() ? "" : ": " + why);
      return false;
    }
    return true;
  }

  std::unique_ptr<IHidBackend> backend;
  std::string what;
  switch (target.kind) {
    case ConnectSpec::Kind::Usb:
      what = "no USB device 0483:5750 is connected";
      break;
    case ConnectSpec::Kind::UsbPath:
      what = "no USB device 0483:5750 at " + target.path;
      break;
    case ConnectSpec::Kind::HidSock:
      what = "no device answers on the socket " + target.path;
      break;
    case ConnectSpec::Kind::Sim:
      what = "the simulated controller cannot be opened";
      break;
    case ConnectSpec::Kind::Serial:
      break;
  }
  if (target.kind == ConnectSpec::Kind::Sim) {
    backend = std::move(simBackend);
  } else {
    std::string failure;
    backend = MakeHidBackend(target, sim::SimOptions(), &failure);
  }
  if (!backend) {
    *error = target.kind == ConnectSpec::Kind::Sim ? what : "the USB HID library cannot be started";
    return false;
  }
  m_session.Usb().SetBackend(std::move(backend));
  if (!m_session.OpenUsb(kControllerVendorId, kControllerProductId)) {
    *error = m_hidFailure.empty() ? what : what + ": " + m_hidFailure;
    return false;
  }
  m_session.EndUsbOpening();
  return true;
}

void CliLink::Follow(std::function<void(bool lost)> onChange) {
  m_session.Follow();
  QObject::connect(&m_session, &ControllerSession::Lost,
                   [onChange](bool, TransportFailure) { onChange(true); });
  QObject::connect(&m_session, &ControllerSession::Returned, [this, onChange](bool) {
    m_serialFailed = false;
    m_session.Commands().SendGetParameters();
    onChange(false);
  });
}

void CliLink::Close() {
  m_session.Close();
}

bool CliLink::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  return Wait(done, timeoutMs, true);
}

void CliLink::LetSendsLeave(int ms) {
  Wait([] { return false; }, ms, false);
}

bool CliLink::Wait(const std::function<bool()>& done, int timeoutMs, bool stopOnInterrupt) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done() || (stopOnInterrupt && g_interrupted.load()) || Lost() || clock.elapsed() >= timeoutMs)
      loop.quit();
  });
  if (done()) return true;
  if (Lost()) return false;
  poll.start();
  loop.exec();
  return done();
}

std::optional<ParameterView> CliLink::ReadParameters() {
  std::optional<ParameterView> got;
  auto previous = onParameters;
  onParameters = [&got](const ParameterView& v) { got = v; };
  for (int attempt = 0; attempt < kAnswerTries && !got && !g_interrupted.load() && !Lost(); ++attempt) {
    m_session.Commands().SendGetParameters();
    WaitUntil([&got] { return got.has_value(); }, kAnswerWaitMs);
  }
  onParameters = previous;
  return got;
}

}  // namespace apdesk::cli
