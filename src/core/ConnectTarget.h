#pragma once
// What a program connects to, written the same way for every program; the
// forms and what each reaches are listed in ConnectForms(). Plain C++;
// app/HidBackendFactory.h makes the back end of each.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace apdesk {

struct ConnectTarget {
  enum class Kind { Usb, UsbPath, Serial, HidSock, Sim };
  Kind kind = Kind::Usb;
  std::string path;  // for usb:PATH, serial:PORT, hidsock:PATH
};

// The prefix of a socket peer's target; its devices' paths bear it too.
inline constexpr const char* kHidSockPrefix = "hidsock:";

// The accepted forms, each with what it reaches: every program's help,
// message and manual page lists them from here.
struct ConnectForm {
  const char* form;     // "serial:PORT"
  const char* meaning;  // one line, for help texts
};
const std::vector<ConnectForm>& ConnectForms();
// "usb, usb:PATH, serial:PORT, hidsock:PATH or sim", for messages.
std::string ConnectFormsText();
// "usb|usb:PATH|serial:PORT|hidsock:PATH|sim", for a usage line.
std::string ConnectFormsChoice();

// nullopt for anything else, and for a form whose PATH or PORT is empty.
std::optional<ConnectTarget> ParseConnectTarget(std::string_view text);

}  // namespace apdesk
