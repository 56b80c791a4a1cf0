// apdesk: configures and monitors the flight controller over USB HID or a
// serial port. One modal main window is the program's only event loop.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <utility>

#include "app/CConfigApp.h"
#include "app/HidBackendChoice.h"
#include "console/CSetApDlg.h"
#include "localisation/CLanguageManager.h"
#include "sim/SimOptions.h"
#include "ui/MessageBoxes.h"

namespace {

// With APDESK_UI_WATCH set, reports on stderr how long the window took to
// appear and, each second, the longest time the user-interface thread did
// not come back to its event loop. A timer that should fire every 10 ms
// measures it: max-stall-ms is its extra delay by the wall clock (sleeps and
// a busy machine included), max-busy-ms the processor time the thread used
// between two ticks (its own work only).
class UiWatch : public QObject {
 public:
  UiWatch(QWidget* window, const QElapsedTimer& sinceStart) : m_window(window), m_sinceStart(sinceStart) {
    window->installEventFilter(this);
    m_tick.setTimerType(Qt::PreciseTimer);
    m_tick.setInterval(kTickMs);
    QObject::connect(&m_tick, &QTimer::timeout, this, [this] { Tick(); });
    m_tick.start();
    m_clock.start();
    m_last = 0;
    m_reportAt = 1000;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!m_shown && watched == m_window && event->type() == QEvent::Paint) {
      m_shown = true;
      std::fprintf(stderr, "apdesk-watch: window-shown-ms=%lld\n",
                   static_cast<long long>(m_sinceStart.elapsed()));
    }
    return false;
  }

 private:
  static constexpr int kTickMs = 10;

  static double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
  }

  void Tick() {
    const qint64 now = m_clock.elapsed();
    const double cpu = ThreadCpuMs();
    const qint64 stall = now - m_last - kTickMs;
    if (stall > m_maxStall) m_maxStall = stall;
    if (m_lastCpu >= 0 && cpu - m_lastCpu > m_maxBusy) m_maxBusy = cpu - m_lastCpu;
    m_last = now;
    m_lastCpu = cpu;
    if (now >= m_reportAt) {
      std::fprintf(stderr, "apdesk-watch: t-ms=%lld max-stall-ms=%lld max-busy-ms=%.1f\n",
                   static_cast<long long>(now), static_cast<long long>(m_maxStall < 0 ? 0 : m_maxStall),
                   m_maxBusy);
      m_maxStall = 0;
      m_maxBusy = 0;
      m_reportAt = now + 1000;
    }
  }

  QWidget* m_window;
  const QElapsedTimer& m_sinceStart;
  QTimer m_tick;
  QElapsedTimer m_clock;
  qint64 m_last = 0;
  qint64 m_maxStall = 0;
  double m_lastCpu = -1;
  double m_maxBusy = 0;
  qint64 m_reportAt = 0;
  bool m_shown = false;
};

// Runs `action` once, after the window's first paint, so the window is on
// the screen before a start-up connection pauses the thread and shows its box.
class AfterFirstPaint : public QObject {
 public:
  AfterFirstPaint(QWidget* window, std::function<void()> action)
      : m_window(window), m_action(std::move(action)) {
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (m_action && watched == m_window && event->type() == QEvent::Paint) {
      m_window->removeEventFilter(this);
      QTimer::singleShot(0, m_window, std::exchange(m_action, nullptr));
    }
    return false;
  }

 private:
  QWidget* m_window;
  std::function<void()> m_action;
};

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  QApplication app(argc, argv);

  QCommandLineParser options;
  // --help names the language file the windows will read, so a user (and the
  // installation check) can see whether an installed program found its texts.
  const CLanguageManager language;
  const QString languageFile =
      QFileInfo(QString::fromStdString(language.LanguageFolder() + language.m_fileName)).canonicalFilePath();
  options.setApplicationDescription(
      "Configures and monitors the flight controller (USB HID 0483:5750 or a serial port).\n" +
      (languageFile.isEmpty() ? QString("Language file: none found in %1 (the windows show no texts)")
                                    .arg(QString::fromStdString(language.LanguageFolder()))
                              : "Language file: " + languageFile));
  options.addHelpOption();
  QCommandLineOption simulate("simulate",
                              "Play the controller in this process as the USB device and connect to it.");
  QCommandLineOption connect("connect",
                             "Connect at start as the Open USB or Open COM button would: auto (the "
                             "first USB controller that appears, now or later; remembered), usb, sim, "
                             "hidsock:PATH (a device served on a Unix socket) or serial:PORT "
                             "(ttyUSB0, /dev/pts/3; stored as COMPORT).",
                             "how");
  QCommandLineOption simRate(
      "sim-rate", "Telemetry sentences per second of the simulated controller (default 10).", "hz", "10");
  options.addOption(simulate);
  options.addOption(connect);
  QCommandLineOption open("open",
                          "Open these windows beside the main window at start, comma-separated: plots "
                          "(the telemetry plots), inspector (the link inspector), map (Tools > Map).",
                          "windows");
  QCommandLineOption replay(
      "replay",
      "Play a flight record (Hj/*.hj) into the windows as the controller sent it, at its "
      "own pace; it is not recorded again. Tools > Pause replay pauses it.",
      "file");
  QCommandLineOption speed("speed", "The replay's speed, 0.1 to 10 times the flight's (default 1).", "x",
                           "1");
  options.addOption(simRate);
  options.addOption(open);
  options.addOption(replay);
  options.addOption(speed);
  QCommandLineOption mapSource("map-source",
                               "The map's tiles for this run: a tile URL template (https://host/{z}/{x}/{y}.png) "
                               "or an MBTiles file (FILE.mbtiles); otherwise [MAP] SOURCE of the settings.",
                               "source");
  options.addOption(mapSource);
  options.process(app);  // --help and unknown options end here

  apdesk::StartupChoice choice;
  std::string error;
  if (!apdesk::ParseStartupChoice(options.isSet(simulate), options.value(connect).toStdString(), &choice,
                                  &error)) {
    std::fprintf(stderr, "apdesk: %s\n", error.c_str());
    return 2;
  }
  bool openPlots = false, openInspector = false, openMap = false;
  for (const QString& name : options.value(open).split(',', Qt::SkipEmptyParts)) {
    if (name.trimmed() == "plots") {
      openPlots = true;
    } else if (name.trimmed() == "inspector") {
      openInspector = true;
    } else if (name.trimmed() == "map") {
      openMap = true;
    } else {
      std::fprintf(stderr, "apdesk: --open takes plots, inspector and map, not \"%s\"\n",
                   name.toUtf8().constData());
      return 2;
    }
  }
  bool speedOk = false;
  const double replaySpeed = options.value(speed).toDouble(&speedOk);
  if (!speedOk || !(replaySpeed >= 0.1 && replaySpeed <= 10)) {
    std::fprintf(stderr, "apdesk: --speed takes a number from 0.1 to 10\n");
    return 2;
  }
  const QString replayFile = options.value(replay);
  if (options.isSet(replay) && choice.connect != apdesk::StartupChoice::Connect::None) {
    std::fprintf(stderr, "apdesk: --replay plays a record file in place of a device; leave out --connect\n");
    return 2;
  }
  apdesk::sim::SimOptions simOptions;
  bool rateOk = false;
  simOptions.rateHz = options.value(simRate).toDouble(&rateOk);
  // Written so that NaN fails it too: NaN compares false with everything.
  if (!rateOk || !(simOptions.rateHz > 0 && simOptions.rateHz <= 1000)) {
    std::fprintf(stderr, "apdesk: --sim-rate takes a number of sentences per second above 0, at most 1000\n");
    return 2;
  }

  std::unique_ptr<apdesk::IHidBackend> backend =
      apdesk::MakeHidBackend(choice.hidBackend, simOptions, &error);
  if (!backend) {
    if (choice.hidBackend != "usb") {
      std::fprintf(stderr, "apdesk: %s\n", error.c_str());
      return 2;
    }
    // Without hidapi the serial port still works; Open USB reports the failure.
    std::fprintf(stderr, "apdesk: %s; USB devices cannot be opened\n", error.c_str());
  }

  CConfigApp config(QCoreApplication::applicationFilePath().toStdString(), std::move(backend));
  CSetApDlg window(config);
  // A device or port that goes away is shown on the window's status line and
  // looked for again there (console/ConnectionStatus.h): no box, no exit. A
  // device that cannot be opened is told in the window's language (built-in
  // Chinese when the language file has none).
  config.m_hidLink.SetNotifier([&window](const std::string& text) {
    apdesk::MessageBoxes::Show(nullptr, window.m_language.LinkFailureText(text));
  });
  // The buttons of the message boxes and the file dialog are the toolkit's
  // own; in a Chinese window they would otherwise read OK, Yes and No.
  QTranslator toolkitTexts;
  if (window.m_language.m_isChinese &&
      toolkitTexts.load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(&toolkitTexts);
  }
  std::unique_ptr<UiWatch> watch;
  if (std::getenv("APDESK_UI_WATCH")) watch = std::make_unique<UiWatch>(&window, sinceStart);

  // Once the window is up, open what was asked for and connect through the
  // same commands a click runs. --connect auto is remembered; without
  // --connect (or a replay) the remembered choice holds.
  if (choice.connect == apdesk::StartupChoice::Connect::Auto) {
    config.WriteSettingInt("Settings1", apdesk::kAutoConnectKey, 1);
  } else if (!options.isSet(connect) && !options.isSet(simulate) && !options.isSet(replay) &&
             config.GetSettingInt("Settings1", apdesk::kAutoConnectKey, 0) != 0) {
    choice.connect = apdesk::StartupChoice::Connect::Auto;
  }
  if (options.isSet(mapSource)) {
    QString why;
    if (!window.SetMapSource(options.value(mapSource), &why)) {
      std::fprintf(stderr, "apdesk: --map-source: %s\n", why.toUtf8().constData());
      return 2;
    }
  }
  AfterFirstPaint connectAtStart(
      &window, [&window, &choice, openPlots, openInspector, openMap, replayFile, replaySpeed] {
        if (openPlots) window.ShowTelemetryPlots();
        if (openInspector) window.ShowLinkInspector();
        if (openMap) window.ShowMap();
        if (!replayFile.isEmpty()) {
          QString why;
          if (!window.StartReplay(replayFile, replaySpeed, &why)) {
            std::fprintf(stderr, "apdesk: cannot replay: %s\n", why.toUtf8().constData());
            apdesk::MessageBoxes::Show(&window, why, apdesk::BoxIcon::Error);
          }
        }
        if (choice.connect == apdesk::StartupChoice::Connect::Auto) {
          window.Connection().Follower().WaitForUsb();
        } else if (choice.connect == apdesk::StartupChoice::Connect::Usb) {
          window.OnOpenUsb();
        } else if (choice.connect == apdesk::StartupChoice::Connect::Serial) {
          window.OpenComPort(QString::fromStdString(choice.serialPort));
        }
      });
  window.exec();
  return 0;
}
