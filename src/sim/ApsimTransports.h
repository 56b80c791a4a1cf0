#pragma once
// The three ways apsim offers its controller to another process: a
// pseudo-terminal (serial), a SOCK_SEQPACKET socket (one 64-byte report per
// packet each way, the "hidsock:" wire) and a /dev/uhid device.
// Each call serves until *stop becomes true (signals are blocked by the
// caller and let through only while waiting) and returns the exit status.

#include <csignal>
#include <string>

#include "sim/SimOptions.h"

namespace apdesk::sim {

struct ServeOptions {
  SimOptions sim;
  std::string imageOut;  // where the received image goes once the upgrade completes
  // Serial: a symbolic link made at this path to the pseudo-terminal, so a
  // restarted apsim is found at the same name, as a replugged adapter is.
  std::string serialLink;
};

int ServeSerial(const ServeOptions& options, const volatile std::sig_atomic_t* stop);
int ServeHidSock(const ServeOptions& options, const std::string& path,
                 const volatile std::sig_atomic_t* stop);
int ServeUhid(const ServeOptions& options, const volatile std::sig_atomic_t* stop);

}  // namespace apdesk::sim
