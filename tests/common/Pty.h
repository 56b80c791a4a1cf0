#pragma once
// A pseudo-terminal standing in for a serial line: the port under test opens
// the slave by its path, the test plays the far end on the master. With
// Slave::Held the test keeps the slave open too (in raw mode), so the line
// stays up while the port under test closes and opens again.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class Pty {
 public:
  enum class Slave { Closed, Held };

  explicit Pty(Slave slave = Slave::Closed) {
    char name[128] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) return;
    m_slavePath = name;
    if (slave == Slave::Held) {
      termios raw{};
      ::tcgetattr(m_slave, &raw);
      ::cfmakeraw(&raw);
      ::tcsetattr(m_slave, TCSANOW, &raw);
    } else {
      ::close(m_slave);  // the port under test opens its own
      m_slave = -1;
    }
  }
  ~Pty() {
    CloseMaster();
    if (m_slave >= 0) ::close(m_slave);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool Ok() const { return m_master >= 0 && !m_slavePath.empty(); }
  int Master() const { return m_master; }
  const std::string& SlavePath() const { return m_slavePath; }

  // The far end hangs up.
  void CloseMaster() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
  }

  // Bytes waiting on the master, written by the port.
  int Waiting() const {
    int n = 0;
    return ::ioctl(m_master, FIONREAD, &n) == 0 ? n : -1;
  }

  // Reads what the port wrote until n bytes came or timeoutMs of silence.
  std::vector<std::uint8_t> ReadMaster(std::size_t n, int timeoutMs = 2000) const {
    std::vector<std::uint8_t> out;
    std::uint8_t buf[4096];
    while (out.size() < n) {
      pollfd p{m_master, POLLIN, 0};
      if (::poll(&p, 1, timeoutMs) <= 0) break;
      const ssize_t got = ::read(m_master, buf, sizeof(buf));
      if (got <= 0) break;
      out.insert(out.end(), buf, buf + got);
    }
    return out;
  }

  // What the port wrote and is waiting now, without waiting for more.
  std::vector<std::uint8_t> TakeWaiting() const {
    std::vector<std::uint8_t> out;
    std::uint8_t buf[256];
    pollfd p{m_master, POLLIN, 0};
    while (::poll(&p, 1, 0) > 0) {
      const ssize_t got = ::read(m_master, buf, sizeof(buf));
      if (got <= 0) break;
      out.insert(out.end(), buf, buf + got);
    }
    return out;
  }

  bool WriteMaster(const std::uint8_t* bytes, std::size_t n) const {
    while (n > 0) {
      const ssize_t put = ::write(m_master, bytes, n);
      if (put <= 0) return false;
      bytes += put;
      n -= static_cast<std::size_t>(put);
    }
    return true;
  }

  bool SlaveTermios(termios& t) const { return ::tcgetattr(m_master, &t) == 0; }

 private:
  int m_master = -1;
  int m_slave = -1;
  std::string m_slavePath;
};

}  // namespace testsupport
