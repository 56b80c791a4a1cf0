// The apdesk program's command line, run as a separate process.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

struct Outcome {
  int exitCode = -1;
  QString out;
  QString err;
};

// One of the programs beside this test; `noDisplay` starts it where no
// window system can be reached.
Outcome RunProgram(const QString& program, const QStringList& args, bool noDisplay = false) {
  static int argc = 1;
  static char name[] = "test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  (void)app;
  QProcess p;
  p.setProgram(QCoreApplication::applicationDirPath() + "/" + program);
  p.setArguments(args);
  if (noDisplay) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "no-such-platform");  // any attempt to open a window aborts
    p.setProcessEnvironment(env);
  }
  p.start();
  Outcome r;
  if (!p.waitForFinished(10000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitCode();
  r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  r.err = QString::fromLocal8Bit(p.readAllStandardError());
  return r;
}

Outcome RunApdesk(const QStringList& args) {
  return RunProgram("apdesk", args);
}

TEST(ProgramOptions, HelpAndRefusedOptions) {
  const Outcome help = RunApdesk({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* option : {"--simulate", "--connect", "--sim-rate", "hidsock:PATH", "serial:PORT"}) {
    EXPECT_TRUE(help.out.contains(option)) << option;
  }
  struct Case {
    QStringList args;
    const char* says;
  } cases[] = {
      {{"--connect", "bluetooth"}, "--connect takes auto, usb, usb:PATH, serial:PORT, hidsock:PATH or sim"},
      {{"--connect", "serial:"}, "needs a port"},
      {{"--simulate", "--connect", "hidsock:/tmp/x"}, "give one"},
      {{"--simulate", "--sim-rate", "fast"}, "--sim-rate"},
      {{"--simulate", "--sim-rate", "0"}, "--sim-rate"},
      {{"--simulate", "--sim-rate", "nan"}, "--sim-rate"},
      {{"--simulate", "--sim-rate", "inf"}, "--sim-rate"},
      {{"--speed", "2"}, "it needs --replay FILE"},
  };
  for (const Case& c : cases) {
    const Outcome r = RunApdesk(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
  }
  const Outcome unknown = RunApdesk({"--frobnicate"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_TRUE(unknown.err.contains("frobnicate"));
}

// Help, version and a bad command line are answered without a display, with
// the same exit statuses and the same version from all three programs, and a
// mistyped name gets the one meant.
TEST(ProgramOptions, AnsweredWithoutADisplayAlikeInEveryProgram) {
  struct Case {
    QString program;
    QStringList args;
    int status;
    const char* says;  // on stdout for 0, on stderr otherwise
  } cases[] = {
      {"apdesk", {"--help"}, 0, "--connect"},
      {"apdesk", {"--version"}, 0, "apdesk " APDESK_VERSION "\n"},
      {"apctl", {"--version"}, 0, "apctl " APDESK_VERSION "\n"},
      {"apsim", {"--version"}, 0, "apsim " APDESK_VERSION "\n"},
      {"apdesk", {"--conect", "sim"}, 2, "did you mean \"--connect\""},
      {"apdesk", {"--connect"}, 2, "--connect"},
      {"apdesk", {"stray"}, 2, "stray"},
      {"apdesk", {"--open", "upgrad"}, 2, "did you mean \"upgrade\""},
      {"apdesk", {"--speed", "20"}, 2, "--speed"},
      {"apctl", {"moniter"}, 2, "did you mean \"monitor\""},
      {"apctl", {"--conect", "sim", "ports"}, 2, "did you mean \"--connect\""},
      {"apctl", {"--connect", "sim", "params", "set", "max_sped=8"}, 5, "did you mean \"max_speed\""},
      {"apsim", {"--serial", "--bootlaoder"}, 2, "did you mean \"--bootloader\""},
  };
  for (const Case& c : cases) {
    const Outcome r = RunProgram(c.program, c.args, true);
    const QString what = c.program + " " + c.args.join(' ');
    EXPECT_EQ(r.exitCode, c.status) << what.toStdString() << "\n" << r.err.toStdString();
    EXPECT_TRUE((c.status == 0 ? r.out : r.err).contains(c.says))
        << what.toStdString() << ": " << r.out.toStdString() << r.err.toStdString();
  }
}

}  // namespace
