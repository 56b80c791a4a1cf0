#include "core/ConnectTarget.h"

namespace apdesk {

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
