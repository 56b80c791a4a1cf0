#pragma once
// apctl share nmea: the aircraft's position as NMEA 0183 for other programs,
// on a TCP address (gpsd reads it with "gpsd -N tcp://HOST:PORT") or on a
// pseudo-terminal, for as long as apctl runs. It follows the device as
// `monitor --follow` does, so unplugging does not end the sharing.

#include <iosfwd>
#include <optional>
#include <string>

#include "cli/CliLink.h"
#include "nmea/ListenAddress.h"

namespace apdesk::cli {

struct ShareNmeaOptions {
  nmea::ListenAddress listen;  // the default 127.0.0.1:10110 unless --listen names another
  bool pty = false;            // a pseudo-terminal instead of TCP
};

// Takes --listen HOST:PORT and --pty out of args; false with a message.
bool TakeShareNmeaOptions(std::vector<std::string>& args, ShareNmeaOptions* options, std::string* error);

// Serves until Ctrl+C (or SIGTERM) on an open link; the exit status. Lines on
// err say where it listens and when a client comes or goes.
int RunShareNmea(CliLink& link, const ShareNmeaOptions& options, std::ostream& err);

}  // namespace apdesk::cli
