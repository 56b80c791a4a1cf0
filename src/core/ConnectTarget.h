#pragma once
// What a program connects to, written the same way for every program:
// "usb" (the first device 0483:5750), "usb:PATH" (only the device at that
// path), "serial:PORT" (a name such as ttyUSB0, or a path), "hidsock:PATH"
// (a peer on a Unix socket) or "sim" (the simulated controller in this
// process). Plain C++; app/HidBackendFactory.h makes the back end of each.

#include <optional>
#include <string>
#include <string_view>

namespace apdesk {

struct ConnectTarget {
  enum class Kind { Usb, UsbPath, Serial, HidSock, Sim };
  Kind kind = Kind::Usb;
  std::string path;  // for usb:PATH, serial:PORT, hidsock:PATH
};

// The prefix of a socket peer's target; its devices' paths bear it too.
inline constexpr const char* kHidSockPrefix = "hidsock:";

// The accepted forms, for messages.
inline constexpr const char* kConnectForms = "usb, usb:PATH, serial:PORT, hidsock:PATH or sim";

// nullopt for anything else, and for a form whose PATH or PORT is empty.
std::optional<ConnectTarget> ParseConnectTarget(std::string_view text);

}  // namespace apdesk
