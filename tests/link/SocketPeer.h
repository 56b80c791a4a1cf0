#pragma once
// A device peer for the "hidsock:" back end, run as a separate process.
// It answers output reports by their first byte:
//   'E'  echo: the report comes back with 'e' in front and every other byte + 1
//   'S'  stream: reports 0..n-1 follow (n = bytes 1-2, little-endian); report k
//        holds 'S', k as 4 little-endian bytes, then bytes (k + i) & 0xFF
//   'B'  one bad packet of 10 bytes
//   'X'  the peer closes the connection
// A connection closed without a packet (the back end's probe) is just ended.

#include <sys/types.h>

#include <string>

namespace linktest {

struct SocketPeer {
  pid_t pid = -1;
  std::string path;
};

// Binds and listens at a fresh path under /tmp, then forks the peer; the
// socket is connectable as soon as this returns.
SocketPeer StartSocketPeer();
// Ends the peer process and removes its socket.
void StopSocketPeer(SocketPeer& peer);

inline std::uint8_t StreamByte(std::uint32_t k, int i) {
  return static_cast<std::uint8_t>((k + i) & 0xFF);
}

}  // namespace linktest
