#include "app/HidBackendChoice.h"

#include "app/HidBackendFactory.h"
#include "link/HidSockBackend.h"

namespace apdesk {

bool ParseStartupChoice(bool simulate, std::string_view connect, StartupChoice* out, std::string* error) {
  *out = StartupChoice();
  if (simulate) {
    out->hidBackend = "sim";
    out->connect = StartupChoice::Connect::Usb;
  }
  if (connect.empty()) return true;
  if (connect == "auto") {
    out->connect = StartupChoice::Connect::Auto;
    return true;
  }

  const std::optional<ConnectTarget> target = ParseConnectTarget(connect);
  if (!target) {
    if (connect == "serial:") {
      *error = "--connect serial: needs a port, e.g. serial:ttyUSB0 or serial:/dev/pts/3";
    } else if (connect == kHidSockPrefix) {
      *error = "--connect hidsock: needs the socket's path, e.g. hidsock:/tmp/ap.sock";
    } else {
      *error = "--connect takes auto, " + ConnectFormsText() + ", not \"" + std::string(connect) + "\"";
    }
    return false;
  }
  switch (target->kind) {
    case ConnectTarget::Kind::Usb:
      // With --simulate, "usb" is the simulated device: it is the USB device now.
      out->connect = StartupChoice::Connect::Usb;
      break;
    case ConnectTarget::Kind::Sim:
      out->hidBackend = "sim";
      out->connect = StartupChoice::Connect::Usb;
      break;
    case ConnectTarget::Kind::UsbPath:
    case ConnectTarget::Kind::HidSock:
      if (simulate) {
        *error = "--simulate and --connect " + std::string(connect) + " both name the USB device; give one";
        return false;
      }
      out->hidBackend = std::string(connect);
      out->connect = StartupChoice::Connect::Usb;
      break;
    case ConnectTarget::Kind::Serial:
      out->serialPort = target->path;
      out->connect = StartupChoice::Connect::Serial;
      break;
  }
  return true;
}

std::unique_ptr<IHidBackend> MakeHidBackend(std::string_view choice, const sim::SimOptions& simOptions,
                                            std::string* error, std::shared_ptr<sim::SimHandle>* simHandle) {
  const std::optional<ConnectTarget> target = ParseConnectTarget(choice);
  if (!target || target->kind == ConnectTarget::Kind::Serial) {
    *error = "unknown USB back end \"" + std::string(choice) + "\"";
    return nullptr;
  }
  return MakeHidBackend(*target, simOptions, error, simHandle);
}

}  // namespace apdesk
