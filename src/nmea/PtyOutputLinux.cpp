#include "nmea/PtyOutputLinux.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace apdesk::nmea {

PtyOutput::~PtyOutput() {
  Close();
}

bool PtyOutput::Open(std::string* error) {
  Close();
  char name[256] = {};
  termios raw{};
  cfmakeraw(&raw);
  cfsetspeed(&raw, B4800);  // what an NMEA receiver announces; a pty ignores the speed
  if (openpty(&m_master, &m_terminal, name, &raw, nullptr) != 0) {
    *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    m_master = m_terminal = -1;
    return false;
  }
  fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
  fcntl(m_master, F_SETFD, FD_CLOEXEC);
  fcntl(m_terminal, F_SETFD, FD_CLOEXEC);
  m_path = name;
  return true;
}

void PtyOutput::Close() {
  if (m_master >= 0) close(m_master);
  if (m_terminal >= 0) close(m_terminal);
  m_master = m_terminal = -1;
  m_path.clear();
}

void PtyOutput::Send(const std::string& sentences) {
  if (m_master < 0) return;
  char sink[256];
  while (read(m_master, sink, sizeof sink) > 0) {
  }
  std::size_t done = 0;
  bool flushed = false;
  while (done < sentences.size()) {
    const ssize_t n = write(m_master, sentences.data() + done, sentences.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // Full: the reader is behind. Its backlog goes, and these lines are
    // written again whole (a part already written went with the backlog).
    if (n < 0 && errno == EAGAIN && !flushed) {
      tcflush(m_terminal, TCIFLUSH);
      ++m_flushes;
      flushed = true;
      done = 0;
      continue;
    }
    return;  // still full after a flush, or the terminal failed: these lines are lost
  }
}

}  // namespace apdesk::nmea
