#pragma once
// Why a serial port cannot be opened, in the operator's words, from what the
// system shows of it: "no such port", "it is not a serial port", "permission
// denied ...", "in use by process 1234 (minicom)". Empty when nothing shows.

#include <string>

namespace apdesk::cli {

// What a device node is, from the system's own records of it (never by
// opening it: opening a serial port can reset the board behind it).
enum class PortNodeKind {
  SerialDevice,    // a terminal with hardware behind it: ttyUSB0, ttyACM0, ttyS0
  PseudoTerminal,  // /dev/pts/N: a program (a simulator, a terminal) serves it
  OtherTerminal,   // a terminal without hardware: a virtual console
  NotTerminal,     // a character device that is no terminal: /dev/null
  NotDevice,       // a file, a folder
};

// `root` prefixes the system's folders (empty for this system; tests give a
// made-up one); `rdev`, `isChar` describe the node.
PortNodeKind ClassifyPortNode(const std::string& root, bool isChar, unsigned long long rdev);

// port is a name under /dev ("ttyUSB0") or a full path. The reason first
// (no such port, not a serial port, permission); the other processes that
// have it open only for a real serial device, never a pseudo-terminal or
// /dev/null, whose holders are no reason.
std::string SerialPortProblem(const std::string& port);

}  // namespace apdesk::cli
