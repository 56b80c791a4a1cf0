#include "cli/ShareNmea.h"

#include <QElapsedTimer>

#include <ostream>

#include "cli/CliArgs.h"
#include "cli/ExitStatus.h"
#include "nmea/NmeaSentences.h"
#include "nmea/NmeaServer.h"
#include "nmea/PtyOutputLinux.h"

namespace apdesk::cli {

namespace {

// Telemetry silent this long is worth a line on stderr (and its return too).
constexpr int kSilenceMs = kAnswerTries * kAnswerWaitMs;

}  // namespace

bool TakeShareNmeaOptions(std::vector<std::string>& args, ShareNmeaOptions* options, std::string* error) {
  std::optional<std::string> listen;
  if (!TakeStringOption(args, "--listen", "", &listen, error)) return false;
  options->pty = TakeFlag(args, "--pty");
  if (listen && options->pty) {
    *error = "use either --listen or --pty";
    return false;
  }
  if (listen) {
    const std::optional<nmea::ListenAddress> a = nmea::ParseListenAddress(*listen, error);
    if (!a) {
      *error = "--listen " + *error;
      return false;
    }
    options->listen = *a;
  }
  return true;
}

int RunShareNmea(CliLink& link, const ShareNmeaOptions& options, std::ostream& err) {
  nmea::NmeaServer server;
  nmea::PtyOutput pty;
  if (options.pty) {
    std::string error;
    if (!pty.Open(&error)) {
      err << "apctl: " << error << "\n";
      return kExitFailure;
    }
    err << "apctl: sharing the position as NMEA 0183 on " << pty.Path()
        << " (read it as a serial GPS: gpsd -N " << pty.Path() << ")\n";
  } else {
    QString error;
    if (!server.Listen(options.listen, &error)) {
      err << "apctl: " << error.toStdString() << "\n";
      return kExitFailure;
    }
    const std::string where = server.Address().Text();
    err << "apctl: sharing the position as NMEA 0183 on " << where << " (gpsd -N tcp://" << where << ")\n";
    if (!server.Address().Loopback())
      err << "apctl: " << where << " is reachable from other machines on the network\n";
    QObject::connect(&server, &nmea::NmeaServer::ClientJoined, [&](const QString& peer) {
      err << "apctl: " << peer.toStdString() << " connected (" << server.Clients() << " listening)\n"
          << std::flush;
    });
    QObject::connect(&server, &nmea::NmeaServer::ClientLeft, [&](const QString& peer, quint64 dropped) {
      err << "apctl: " << peer.toStdString() << " left (" << server.Clients() << " listening)";
      if (dropped > 0) err << "; it missed " << dropped << " lines it did not read in time";
      err << "\n" << std::flush;
    });
  }
  err << std::flush;

  link.Follow([&err](bool lost) {
    err << (lost ? "apctl: the device is gone (unplugged, or its port closed); waiting for it to return\n"
                 : "apctl: the device is back\n")
        << std::flush;
  });
  std::uint64_t shared = 0;
  QElapsedTimer sinceLast;
  sinceLast.start();
  link.onStatus = [&](const std::uint8_t* s) {
    const std::string sentences = nmea::SentencesOf(s);
    if (options.pty)
      pty.Send(sentences);
    else
      server.Send(sentences);
    ++shared;
    sinceLast.restart();
  };
  link.Commands().SendGetParameters();  // a controller that waits to be spoken to starts sending
  bool silent = false;
  while (!g_interrupted.load()) {
    link.WaitUntil([] { return false; }, 250);
    const bool nowSilent = !link.Away() && sinceLast.elapsed() >= kSilenceMs;
    if (nowSilent && !silent) {
      err << "apctl: no telemetry for " << kSilenceMs / 1000
          << " s; the programs get nothing new until it returns\n"
          << std::flush;
      link.Commands().SendGetParameters();
    } else if (!nowSilent && silent && !link.Away()) {
      err << "apctl: telemetry is back\n" << std::flush;
    }
    silent = nowSilent;
  }
  link.onStatus = nullptr;
  server.Close();
  err << "apctl: stopped sharing; " << shared << " telemetry records were shared";
  if (options.pty && pty.Flushes() > 0)
    err << " (the reader fell behind " << pty.Flushes() << " times; its unread lines were dropped)";
  err << "\n";
  return kExitOk;
}

}  // namespace apdesk::cli
