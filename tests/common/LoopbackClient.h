#pragma once
// A TCP client on 127.0.0.1 for tests of servers that run in the test's own
// event loop: it connects, and reads only when told to (never blocking), so a
// test can play a reader and a client that never reads. A small receive
// buffer makes the non-reader's kernel buffer fill within seconds.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace testsupport {

class LoopbackClient {
 public:
  LoopbackClient() = default;
  ~LoopbackClient() { Close(); }
  LoopbackClient(const LoopbackClient&) = delete;
  LoopbackClient& operator=(const LoopbackClient&) = delete;

  // receiveBuffer 0 keeps the system's size.
  bool Connect(int port, int receiveBuffer = 0) {
    Close();
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_fd < 0) return false;
    if (receiveBuffer > 0) ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      Close();
      return false;
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    return true;
  }

  // Appends what has arrived to Received(); false once the server closed.
  bool ReadAvailable() {
    char buffer[4096];
    while (m_fd >= 0) {
      const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        m_received.append(buffer, static_cast<std::size_t>(n));
        continue;
      }
      return n < 0;  // 0: closed; -1: nothing more now (EAGAIN)
    }
    return false;
  }

  bool Send(const std::string& bytes) {
    return m_fd >= 0 &&
           ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }

  void Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

  // A port on 127.0.0.1 that nothing listens on just now.
  static int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0;
    ::close(fd);
    return bound ? ntohs(a.sin_port) : 0;
  }

  const std::string& Received() const { return m_received; }
  // Line ends received so far.
  std::size_t Lines() const {
    std::size_t n = 0;
    for (std::size_t at = m_received.find('\n'); at != std::string::npos; at = m_received.find('\n', at + 1))
      ++n;
    return n;
  }

 private:
  int m_fd = -1;
  std::string m_received;
};

}  // namespace testsupport
