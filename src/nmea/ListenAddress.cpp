#include "nmea/ListenAddress.h"

#include <cstdlib>

namespace apdesk::nmea {

namespace {

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::optional<int> Port(std::string_view s) {
  if (!AllDigits(s) || s.size() > 5) return std::nullopt;
  const int port = std::atoi(std::string(s).c_str());
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

// Dotted IPv4, four numbers 0-255.
bool Ipv4(std::string_view s) {
  int parts = 0;
  while (true) {
    const std::size_t dot = s.find('.');
    const std::string_view part = s.substr(0, dot);
    if (!AllDigits(part) || part.size() > 3 || std::atoi(std::string(part).c_str()) > 255) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    s.remove_prefix(dot + 1);
  }
  return parts == 4;
}

bool Ipv6(std::string_view s) {
  if (s.find(':') == std::string_view::npos) return false;
  for (const char c : s) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex && c != ':' && c != '.') return false;
  }
  return true;
}

}  // namespace

std::string ListenAddress::Text() const {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool ListenAddress::Loopback() const {
  return host == "localhost" || host == "::1" || (Ipv4(host) && host.rfind("127.", 0) == 0);
}

std::optional<ListenAddress> ParseListenAddress(std::string_view text, std::string* error) {
  ListenAddress a;
  if (text.empty()) return a;
  const std::string shown = "\"" + std::string(text) + "\"";
  if (AllDigits(text)) {
    const std::optional<int> port = Port(text);
    if (!port) {
      *error = shown + " is no port (1-65535)";
      return std::nullopt;
    }
    a.port = *port;
    return a;
  }
  std::string_view host;
  std::string_view port;
  if (text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
      *error = shown + " is not [IPv6]:PORT";
      return std::nullopt;
    }
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
    if (!Ipv6(host)) {
      *error = shown + ": \"" + std::string(host) + "\" is no IPv6 address";
      return std::nullopt;
    }
  } else {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || text.find(':') != colon) {
      *error = shown + " is not HOST:PORT (an IPv6 address goes in brackets: [::1]:10110)";
      return std::nullopt;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host != "localhost" && !Ipv4(host)) {
      *error = shown + ": \"" + std::string(host) + "\" is no IP address (or localhost)";
      return std::nullopt;
    }
  }
  const std::optional<int> p = Port(port);
  if (!p) {
    *error = shown + ": \"" + std::string(port) + "\" is no port (1-65535)";
    return std::nullopt;
  }
  a.host = std::string(host);
  a.port = *p;
  return a;
}

}  // namespace apdesk::nmea
