#pragma once
// Why a serial port cannot be opened, in the operator's words, from what the
// system shows of it: "no such port", "it is not a serial port", "permission
// denied ...", "in use by process 1234 (minicom)". Empty when nothing shows.

#include <string>

namespace apdesk::cli {

// port is a name under /dev ("ttyUSB0") or a full path.
std::string SerialPortProblem(const std::string& port);

}  // namespace apdesk::cli
