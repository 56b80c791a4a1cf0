// What plays the USB device, and how the program connects at start, from its
// command-line options. Plain C++: the options are checked without Qt.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/HidBackendFactory.h"

namespace apdesk {

struct StartupChoice {
  // Auto: the first device 0483:5750 that appears, at start or later.
  enum class Connect { None, Usb, Serial, Auto };
  Connect connect = Connect::None;
  // The USB back end: "usb" (hidapi), "sim" (the simulated controller in this
  // process) or "hidsock:PATH" (a peer on a Unix socket).
  std::string hidBackend = "usb";
  std::string serialPort;  // for Connect::Serial: a name (ttyUSB0) or a path
};

// Applies --simulate and --connect VALUE (empty when not given), where VALUE
// is "auto" or one of the --connect forms of core/ConnectTarget.h. --simulate makes the simulated
// controller the USB device and connects to it unless --connect says
// otherwise. False with a message for anything else.
bool ParseStartupChoice(bool simulate, std::string_view connect, StartupChoice* out, std::string* error);

// The back end named by `choice` ("usb", "sim", "hidsock:PATH"). Null with a
// message when it cannot be made (hidapi fails to start, unknown name). For
// "sim", `simHandle` receives the controller when given.
std::unique_ptr<IHidBackend> MakeHidBackend(std::string_view choice, const sim::SimOptions& simOptions,
                                            std::string* error,
                                            std::shared_ptr<sim::SimHandle>* simHandle = nullptr);

}  // namespace apdesk
