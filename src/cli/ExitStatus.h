#pragma once
// apctl's exit statuses: one per kind of outcome, so scripts can tell them
// apart. The table in ExitStatusTable() is what `apctl --help` prints.

namespace apdesk::cli {

enum ExitStatus : int {
  kExitOk = 0,
  kExitFailure = 1,           // anything not listed below
  kExitUsage = 2,             // bad command line
  kExitNoDevice = 3,          // no device, it could not be opened, or it went away
  kExitNoAnswer = 4,          // the controller did not answer (asked three times)
  kExitBadValue = 5,          // a value out of range or unknown: nothing was sent
  kExitMismatch = 6,          // read back, the controller reports other values
  kExitFileError = 7,         // a file cannot be read or written, or is damaged
  kExitCompassWrong = 8,      // compass-check: the heading turns the wrong way
  kExitCompassUndecided = 9,  // compass-check: no verdict within the time
  kExitVerifyError = 10,      // upgrade: the read-back differs from the image
  kExitNoBootLoader = 11,     // upgrade: no boot loader announced itself in time
  kExitInterrupted = 130,     // Ctrl+C before the command was done (monitor: a normal end, 0)
};

// "  0  success\n  1  ..." for the help text.
const char* ExitStatusTable();

}  // namespace apdesk::cli
