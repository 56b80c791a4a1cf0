#include "app/HidBackendChoice.h"

#include "link/HidSockBackend.h"
#include "link/HidapiBackend.h"
#include "sim/SimHidBackend.h"

namespace apdesk {
namespace {

constexpr std::string_view kSerialPrefix = "serial:";

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool ParseStartupChoice(bool simulate, std::string_view connect, StartupChoice* out, std::string* error) {
  *out = StartupChoice();
  if (simulate) {
    out->hidBackend = "sim";
    out->connect = StartupChoice::Connect::Usb;
  }
  if (connect.empty()) return true;

  if (connect == "usb") {
    // With --simulate, "usb" is the simulated device: it is the USB device now.
    out->connect = StartupChoice::Connect::Usb;
  } else if (connect == "sim") {
    out->hidBackend = "sim";
    out->connect = StartupChoice::Connect::Usb;
  } else if (StartsWith(connect, kHidSockPrefix)) {
    if (connect.size() == std::string_view(kHidSockPrefix).size()) {
      *error = "--connect hidsock: needs the socket's path, e.g. hidsock:/tmp/ap.sock";
      return false;
    }
    if (simulate) {
      *error = "--simulate and --connect hidsock:PATH both name the USB device; give one";
      return false;
    }
    out->hidBackend = std::string(connect);
    out->connect = StartupChoice::Connect::Usb;
  } else if (StartsWith(connect, kSerialPrefix)) {
    out->serialPort = std::string(connect.substr(kSerialPrefix.size()));
    if (out->serialPort.empty()) {
      *error = "--connect serial: needs a port, e.g. serial:ttyUSB0 or serial:/dev/pts/3";
      return false;
    }
    out->connect = StartupChoice::Connect::Serial;
  } else {
    *error = "--connect takes usb, sim, hidsock:PATH or serial:PORT, not \"" + std::string(connect) + "\"";
    return false;
  }
  return true;
}

std::unique_ptr<IHidBackend> MakeHidBackend(std::string_view choice, const sim::SimOptions& simOptions,
                                            std::string* error, std::shared_ptr<sim::SimHandle>* simHandle) {
  std::unique_ptr<IHidBackend> backend;
  if (choice == "usb") {
    backend = MakeHidapiBackend();
    if (!backend) *error = "the USB HID library (hidapi) could not be started";
  } else if (choice == "sim") {
    backend = sim::MakeSimHidBackend(simOptions, simHandle);
  } else if (StartsWith(choice, kHidSockPrefix) && choice.size() > std::string_view(kHidSockPrefix).size()) {
    backend = MakeHidSockBackend(std::string(choice.substr(std::string_view(kHidSockPrefix).size())));
  } else {
    *error = "unknown USB back end \"" + std::string(choice) + "\"";
  }
  return backend;
}

}  // namespace apdesk
