// The apdesk program's command line, run as a separate process.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

namespace {

struct Outcome {
  int exitCode = -1;
  QString out;
  QString err;
};

Outcome RunApdesk(const QStringList& args) {
  static int argc = 1;
  static char name[] = "test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  (void)app;
  QProcess p;
  p.setProgram(QCoreApplication::applicationDirPath() + "/apdesk");
  p.setArguments(args);
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
  EXPECT_NE(unknown.exitCode, 0);
  EXPECT_TRUE(unknown.err.contains("frobnicate"));
}

}  // namespace
