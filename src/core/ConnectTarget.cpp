#include "core/ConnectTarget.h"

namespace apdesk {

const std::vector<ConnectForm>& ConnectForms() {
  static const std::vector<ConnectForm> forms = {
      {"usb", "the first USB device with id 0483:5750"},
      {"usb:PATH", "the USB device at PATH (a /dev/hidraw node, as apctl ports lists it)"},
      {"serial:PORT", "a serial port, as ttyUSB0 or a full path such as /dev/ttyACM0"},
      {"hidsock:PATH", "a device served on a Unix socket, for example by apsim"},
      {"sim", "the simulated controller, in this program"},
  };
  return forms;
}

std::string ConnectFormsText() {
  const std::vector<ConnectForm>& forms = ConnectForms();
  std::string text;
  for (std::size_t i = 0; i < forms.size(); ++i)
    text += (i == 0 ? "" : i + 1 == forms.size() ? " or " : ", ") + std::string(forms[i].form);
  return text;
}

std::string ConnectFormsChoice() {
  std::string text;
  for (const ConnectForm& f : ConnectForms()) text += (text.empty() ? "" : "|") + std::string(f.form);
  return text;
}

std::optional<ConnectTarget> ParseConnectTarget(std::string_view text) {
  ConnectTarget target;
  auto after = [text](std::string_view prefix) -> std::optional<std::string> {
    if (text.substr(0, prefix.size()) != prefix) return std::nullopt;
    return std::string(text.substr(prefix.size()));
  };
  if (text == "usb") {
    target.kind = ConnectTarget::Kind::Usb;
  } else if (text == "sim") {
    target.kind = ConnectTarget::Kind::Sim;
  } else if (auto p = after("usb:")) {
    target.kind = ConnectTarget::Kind::UsbPath;
    target.path = *p;
  } else if (auto p = after("serial:")) {
    target.kind = ConnectTarget::Kind::Serial;
    target.path = *p;
  } else if (auto p = after(kHidSockPrefix)) {
    target.kind = ConnectTarget::Kind::HidSock;
    target.path = *p;
  } else {
    return std::nullopt;
  }
  if (target.kind != ConnectTarget::Kind::Usb && target.kind != ConnectTarget::Kind::Sim &&
      target.path.empty())
    return std::nullopt;
  return target;
}

}  // namespace apdesk
