// apdesk: configures and monitors the flight controller over USB HID or a
// serial port. One modal main window is the program's only event loop.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/HidBackendChoice.h"
#include "application/CConfigApp.h"
#include "cmdline/BuildVersion.h"
#include "cmdline/NearName.h"
#include "console/CSetApDlg.h"
#include "core/AppFolder.h"
#include "core/ConnectTarget.h"
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

// What the command line asks for, read before any window exists.
struct CommandLine {
  apdesk::StartupChoice choice;
  bool connectGiven = false, simulateGiven = false;
  std::vector<QString> openWindows;  // names of --open, in order
  QString replayFile;
  double replaySpeed = 1;
  QString mapSource;  // --map-source, empty: the settings' source
  apdesk::sim::SimOptions simOptions;
};

// The windows --open names: every window of the Tools menu, and the flight records.
const char* const kOpenableWindows[] = {"plots", "inspector", "upgrade", "records", "map"};

// --help names the language file the windows will read, so a user (and the
// installation check) can see whether an installed program found its texts.
QString Description() {
  const QByteArray exe = QCoreApplication::applicationFilePath().toLocal8Bit();
  const CLanguageManager language(
      apdesk::LanguageFolderFor(apdesk::AppFolderFromExecutablePath(
          std::string_view(exe.constData(), static_cast<std::size_t>(exe.size())))),
      ProcessLocaleIsChinese());
  const QString languageFile =
      QFileInfo(QString::fromStdString(language.LanguageFolder() + language.m_fileName)).canonicalFilePath();
  return "Configures and monitors the flight controller (USB HID 0483:5750 or a serial port).\n" +
         (languageFile.isEmpty() ? QString("Language file: none found in %1 (the windows show no texts)")
                                       .arg(QString::fromStdString(language.LanguageFolder()))
                                 : "Language file: " + languageFile) +
         "\nExit status: 0 success, 1 failure, 2 bad command line.";
}

// The values of a command line that parsed: -1 to go on, 2 when one is out
// of its range or does not go with the others.
int TakeValues(const QCommandLineParser& options, CommandLine* line) {
  std::string error;
  line->connectGiven = options.isSet("connect");
  line->simulateGiven = options.isSet("simulate");
  if (!apdesk::ParseStartupChoice(options.isSet("simulate"), options.value("connect").toStdString(),
                                  &line->choice, &error)) {
    std::fprintf(stderr, "apdesk: %s\n", error.c_str());
    return 2;
  }
  std::vector<std::string> openable(std::begin(kOpenableWindows), std::end(kOpenableWindows));
  for (const QString& given : options.value("open").split(',', Qt::SkipEmptyParts)) {
    const QString name = given.trimmed();
    if (std::find(openable.begin(), openable.end(), name.toStdString()) == openable.end()) {
      std::fprintf(stderr, "apdesk: --open takes plots, inspector, upgrade, records and map, not \"%s\"%s\n",
                   name.toUtf8().constData(), apdesk::DidYouMean(name.toStdString(), openable).c_str());
      return 2;
    }
    line->openWindows.push_back(name);
  }
  bool speedOk = false;
  line->replaySpeed = options.value("speed").toDouble(&speedOk);
  if (!speedOk || !(line->replaySpeed >= 0.1 && line->replaySpeed <= 10)) {
    std::fprintf(stderr, "apdesk: --speed takes a number from 0.1 to 10\n");
    return 2;
  }
  if (options.isSet("speed") && !options.isSet("replay")) {
    std::fprintf(stderr, "apdesk: --speed is the speed of a replay; it needs --replay FILE\n");
    return 2;
  }
  line->replayFile = options.value("replay");
  line->mapSource = options.value("map-source");
  if (options.isSet("replay") && line->choice.connect != apdesk::StartupChoice::Connect::None) {
    std::fprintf(stderr, "apdesk: --replay plays a record file in place of a device; leave out --connect\n");
    return 2;
  }
  bool rateOk = false;
  line->simOptions.rateHz = options.value("sim-rate").toDouble(&rateOk);
  // Written so that NaN fails it too: NaN compares false with everything.
  if (!rateOk || !(line->simOptions.rateHz > 0 && line->simOptions.rateHz <= 1000)) {
    std::fprintf(stderr, "apdesk: --sim-rate takes a number of sentences per second above 0, at most 1000\n");
    return 2;
  }
  // The simulated controller's GPS clock is the present, as a real one's is.
  line->simOptions.startUtc = static_cast<std::int64_t>(std::time(nullptr));
  return -1;
}

// Reads the command line. -1 to go on; otherwise the exit status: 0 after
// --help or --version, 2 for a bad command line. Runs under a
// QCoreApplication, so it needs no display.
int ReadCommandLine(const QStringList& arguments, CommandLine* line) {
  QCommandLineParser options;
  options.setApplicationDescription(Description());
  const QCommandLineOption help = options.addHelpOption();
  const QCommandLineOption version = options.addVersionOption();
  QCommandLineOption simulate("simulate",
                              "Play the controller in this process as the USB device and connect to it.");
  QCommandLineOption connect(
      "connect",
      QString::fromStdString("Connect at start as the Open USB or Open COM button would: auto (the "
                             "first USB controller that appears, now or later; remembered), " +
                             apdesk::ConnectFormsText() +
                             " (serial:PORT as ttyUSB0 or /dev/pts/3, stored as COMPORT)."),
      "how");
  QCommandLineOption simRate(
      "sim-rate", "Telemetry sentences per second of the simulated controller (default 10).", "hz", "10");
  options.addOption(simulate);
  options.addOption(connect);
  QCommandLineOption open("open",
                          "Open these windows beside the main window at start, comma-separated: plots "
                          "(the telemetry plots), inspector (the link inspector), upgrade (the firmware "
                          "upgrade), records (the flight records), map (Tools > Map).",
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
  QCommandLineOption mapSource(
      "map-source",
      "The map's tiles for this run: a tile URL template (https://host/{z}/{x}/{y}.png) "
      "or an MBTiles file (FILE.mbtiles); otherwise [MAP] SOURCE of the settings.",
      "source");
  options.addOption(mapSource);

  if (!options.parse(arguments)) {
    // An unknown option, or one without its value: say the nearest known one.
    std::vector<std::string> known;
    const QCommandLineOption* all[] = {&help, &version, &simulate, &connect,  &simRate,
                                       &open, &replay,  &speed,    &mapSource};
    for (const QCommandLineOption* o : all) {
      for (const QString& name : o->names())
        known.push_back((name.size() == 1 ? "-" : "--") + name.toStdString());
    }
    std::string hint;
    for (const QString& name : options.unknownOptionNames()) {
      hint = apdesk::DidYouMean((name.size() == 1 ? "-" : "--") + name.toStdString(), known);
      if (!hint.empty()) break;
    }
    std::fprintf(stderr, "apdesk: %s%s (apdesk --help lists the options)\n",
                 options.errorText().toLocal8Bit().constData(), hint.c_str());
    return 2;
  }
  if (options.isSet(help) || options.isSet(QStringLiteral("help-all"))) {
    std::fputs(options.helpText().toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (options.isSet(version)) {
    std::printf("apdesk %s\n", apdesk::kBuildVersion);
    return 0;
  }
  if (!options.positionalArguments().isEmpty()) {
    std::fprintf(stderr,
                 "apdesk: takes no arguments besides its options, not \"%s\" (apdesk --help lists them)\n",
                 options.positionalArguments().first().toLocal8Bit().constData());
    return 2;
  }

  return TakeValues(options, line);
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  CommandLine line;
  {
    // Help, version and a bad command line need no display: they are
    // answered before the window system is started.
    QCoreApplication reader(argc, argv);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(apdesk::kBuildVersion));
    const int status = ReadCommandLine(QCoreApplication::arguments(), &line);
    if (status >= 0) return status;
  }
  QApplication app(argc, argv);
  apdesk::StartupChoice& choice = line.choice;
  std::string error;
  const apdesk::sim::SimOptions& simOptions = line.simOptions;

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
  config.Session().Usb().SetNotifier([&config](apdesk::TransportFailure why) {
    apdesk::MessageBoxes::Show(nullptr, LinkFailureText(config.Texts(), why, false));
  });
  // The buttons of the message boxes and the file dialog are the toolkit's
  // own; in a Chinese window they would otherwise read OK, Yes and No.
  QTranslator toolkitTexts;
  if (config.Texts().m_isChinese &&
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
  } else if (!line.connectGiven && !line.simulateGiven && line.replayFile.isEmpty() &&
             config.GetSettingInt("Settings1", apdesk::kAutoConnectKey, 0) != 0) {
    choice.connect = apdesk::StartupChoice::Connect::Auto;
  }
  if (!line.mapSource.isEmpty()) {
    QString why;
    if (!window.SetMapSource(line.mapSource, &why)) {
      std::fprintf(stderr, "apdesk: --map-source: %s\n", why.toUtf8().constData());
      return 2;
    }
  }
  AfterFirstPaint connectAtStart(&window, [&window, &choice, &line] {
    for (const QString& name : line.openWindows) {
      if (name == "plots") window.ShowTelemetryPlots();
      if (name == "inspector") window.ShowLinkInspector();
      if (name == "upgrade") window.ShowUpgradeWindow();
      if (name == "records") window.ShowFlightRecords();
      if (name == "map") window.ShowMap();
    }
    if (!line.replayFile.isEmpty()) {
      QString why;
      if (!window.StartReplay(line.replayFile, line.replaySpeed, &why)) {
        std::fprintf(stderr, "apdesk: cannot replay: %s\n", why.toUtf8().constData());
        apdesk::MessageBoxes::Show(&window, why, apdesk::BoxIcon::Error);
      }
    }
    if (choice.connect == apdesk::StartupChoice::Connect::Auto) {
      window.Connection().Follower().WaitForUsb();
    } else if (choice.connect == apdesk::StartupChoice::Connect::Usb) {
      window.OpenUsb(false);
    } else if (choice.connect == apdesk::StartupChoice::Connect::Serial) {
      window.OpenComPort(QString::fromStdString(choice.serialPort));
    }
  });
  window.exec();
  return 0;
}
