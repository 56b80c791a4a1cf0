#include "SocketPeer.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace linktest {
namespace {

void Serve(int fd) {
  std::uint8_t in[64];
  for (;;) {
    const ssize_t n = ::recv(fd, in, sizeof(in), 0);
    if (n <= 0) return;
    std::uint8_t out[64] = {};
    switch (in[0]) {
      case 'E':
        out[0] = 'e';
        for (int i = 1; i < 64; ++i) out[i] = static_cast<std::uint8_t>(in[i] + 1);
        if (::send(fd, out, 64, MSG_NOSIGNAL) != 64) return;
        break;
      case 'S': {
        const std::uint32_t count = in[1] | (in[2] << 8);
        for (std::uint32_t k = 0; k < count; ++k) {
          out[0] = 'S';
          for (int b = 0; b < 4; ++b) out[1 + b] = static_cast<std::uint8_t>(k >> (8 * b));
          for (int i = 5; i < 64; ++i) out[i] = StreamByte(k, i);
          if (::send(fd, out, 64, MSG_NOSIGNAL) != 64) return;
        }
        break;
      }
      case 'B':
        if (::send(fd, out, 10, MSG_NOSIGNAL) != 10) return;
        break;
      case 'X':
        return;
      default:
        break;
    }
  }
}

}  // namespace

SocketPeer StartSocketPeer() {
  static std::atomic<int> counter{0};
  SocketPeer peer;
  peer.path =
      "/tmp/apdesk-linktest-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".sock";
  ::unlink(peer.path.c_str());
  const int listener = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, peer.path.c_str(), sizeof(addr.sun_path) - 1);
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      ::listen(listener, 4) != 0) {
    std::perror("socket peer");
    return peer;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (;;) {
      const int fd = ::accept(listener, nullptr, nullptr);
      if (fd < 0) _exit(1);
      Serve(fd);
      ::close(fd);
    }
  }
  ::close(listener);
  peer.pid = pid;
  return peer;
}

void StopSocketPeer(SocketPeer& peer) {
  if (peer.pid > 0) {
    ::kill(peer.pid, SIGTERM);
    ::waitpid(peer.pid, nullptr, 0);
    peer.pid = -1;
  }
  if (!peer.path.empty()) ::unlink(peer.path.c_str());
}

}  // namespace linktest
