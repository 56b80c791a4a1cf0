#pragma once
// Where the position is shared: "HOST:PORT", "[IPv6]:PORT", or a bare
// PORT on the loopback address. Only an address the operator names leaves
// this machine; the default is 127.0.0.1:10110.

#include <optional>
#include <string>
#include <string_view>

namespace apdesk::nmea {

inline constexpr const char* kDefaultHost = "127.0.0.1";
inline constexpr int kDefaultPort = 10110;

struct ListenAddress {
  std::string host = kDefaultHost;  // an IP address or "localhost", no brackets
  int port = kDefaultPort;          // 1-65535

  // "127.0.0.1:10110", "[::1]:10110".
  std::string Text() const;
  // 127.0.0.0/8, ::1 or localhost: other machines cannot connect.
  bool Loopback() const;
};

// Empty text gives the default; nullopt with a reason when the text is no
// address this program can listen on.
std::optional<ListenAddress> ParseListenAddress(std::string_view text, std::string* error);

}  // namespace apdesk::nmea
