#include "cli/CliLink.h"

#include "cli/PortProblem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "link/HidSockBackend.h"
#include "link/HidapiBackend.h"
#include "link/LinkEvents.h"

namespace apdesk::cli {

std::atomic<bool> g_interrupted{false};

namespace {

void OnInterrupt(int) {
  g_interrupted.store(true);
}

constexpr std::uint16_t kVendorId = 0x0483;
constexpr std::uint16_t kProductId = 0x5750;

// No device at all: the HID link of a serial connection.
class NoDeviceBackend : public IHidBackend {
 public:
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t, std::uint16_t) override { return {}; }
  std::unique_ptr<IHidDevice> OpenPath(const std::string&) override { return nullptr; }
};

// usb:PATH: only the device at that path, whatever else is plugged in.
class OnePathBackend : public IHidBackend {
 public:
  OnePathBackend(std::unique_ptr<IHidBackend> inner, std::string path)
      : m_inner(std::move(inner)), m_path(std::move(path)) {}
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
    std::vector<HidDeviceInfo> found;
    for (HidDeviceInfo& d : m_inner->Enumerate(vendorId, productId))
      if (d.path == m_path) found.push_back(std::move(d));
    return found;
  }
  std::unique_ptr<IHidDevice> OpenPath(const std::string& path) override {
    return path == m_path ? m_inner->OpenPath(path) : nullptr;
  }

 private:
  std::unique_ptr<IHidBackend> m_inner;
  std::string m_path;
};

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

CliLink::CliLink() : m_hid(std::make_unique<NoDeviceBackend>()), m_commands(m_hid) {
  m_hid.SetNotifier([this](const std::string& text) { m_hidFailure = text; });
}

CliLink::~CliLink() {
  Close();
  m_hid.Stop();
  if (!m_iniPath.empty()) unlink(m_iniPath.c_str());
}

bool CliLink::Open(const ConnectSpec& target, std::unique_ptr<IHidBackend> simBackend, std::string* error) {
  m_hidFailure.clear();
  m_serialFailed = false;
  if (target.kind == ConnectSpec::Kind::Serial) {
    // The serial port reads its name from a settings file: a private one.
    char path[] = "/tmp/apctl-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
      *error = "cannot make a temporary settings file";
      return false;
    }
    close(fd);
    m_iniPath = path;
    m_settings = std::make_unique<SettingsStore>(m_iniPath);
    if (!m_settings->WriteSettingString("Settings1", "COMPORT", target.path)) {
      *error = "cannot write the temporary settings file " + m_iniPath;
      return false;
    }
    m_commands.m_uart.SetSettings(m_settings.get());
    // A failed read or write means the port is gone; the command says so.
    m_commands.m_uart.SetFailureHandler([this](const std::string&) { m_serialFailed = true; });
    m_commands.m_uart.Init(this);
    if (!m_commands.m_uart.Open()) {
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
      backend = MakeHidapiBackend();
      what = "no USB device 0483:5750 is connected";
      break;
    case ConnectSpec::Kind::UsbPath:
      if (auto inner = MakeHidapiBackend())
        backend = std::make_unique<OnePathBackend>(std::move(inner), target.path);
      what = "no USB device 0483:5750 at " + target.path;
      break;
    case ConnectSpec::Kind::HidSock:
      backend = MakeHidSockBackend(target.path);
      what = "no device answers on the socket " + target.path;
      break;
    case ConnectSpec::Kind::Sim:
      backend = std::move(simBackend);
      what = "the simulated controller cannot be opened";
      break;
    case ConnectSpec::Kind::Serial:
      break;
  }
  if (!backend) {
    *error = target.kind == ConnectSpec::Kind::Sim ? what : "the USB HID library cannot be started";
    return false;
  }
  m_hid.SetBackend(std::move(backend));
  m_hid.StartReader(this);
  if (!m_hid.Open(kVendorId, kProductId)) {
    *error = m_hidFailure.empty() ? what : what + ": " + m_hidFailure;
    return false;
  }
  return true;
}

void CliLink::Close() {
  m_hid.Close();
  m_commands.m_uart.Close();
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
    m_commands.SendGetParameters();
    WaitUntil([&got] { return got.has_value(); }, kAnswerWaitMs);
  }
  onParameters = previous;
  return got;
}

bool CliLink::event(QEvent* e) {
  return DispatchLinkEvent(*this, e) || QObject::event(e);
}

void CliLink::OnUartReceived() {
  CCommUart& uart = m_commands.m_uart;
  uart.CompleteRead();
  if (uart.m_rxFill > uart.m_rxConsumed)
    m_parser.Append(uart.m_rxBuffer + uart.m_rxConsumed, uart.m_rxFill - uart.m_rxConsumed);
  uart.m_rxConsumed = 0;
  uart.m_rxFill = 0;
  uart.ArmRead();
  m_parser.ParseSentences(*this);
}

void CliLink::OnUartSent() {
  m_commands.m_uart.CompleteWrite();
}

void CliLink::OnHidReceived() {
  std::uint8_t report[kHidReportSize];
  m_hid.TakeReport(report);
  if (onHidReport) onHidReport(report);
  m_parser.Append(report, kHidReportSize);
  m_parser.ParseSentences(*this);
}

void CliLink::OnHidSent() {
  m_hid.SetReady(true);
  m_hid.Flush();
}

void CliLink::OnStatusSentence(const std::uint8_t* sentence) {
  if (onStatus) onStatus(sentence);
}

void CliLink::OnParameterSentence(const std::uint8_t* sentence) {
  const std::optional<ParameterView> view = DecodeParameterSentence(sentence);
  if (view && onParameters) onParameters(*view);
}

void CliLink::OnInstallErrorSentence(const std::uint8_t* sentence) {
  if (onInstallError) onInstallError(sentence);
}

}  // namespace apdesk::cli
