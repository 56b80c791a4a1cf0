#pragma once
// NMEA on a pseudo-terminal, for programs that read a serial GPS: the path of
// its terminal end is given to them as the device. The terminal is raw (CR LF
// pass unchanged, nothing is echoed) and never blocks the writer: when the
// reader is behind and the terminal's buffer is full, what it has not read
// is thrown away and the newest lines take its place. What the reader writes
// (a probe, a baud-rate request) is read and dropped.

#include <cstdint>
#include <string>

namespace apdesk::nmea {

class PtyOutput {
 public:
  PtyOutput() = default;
  ~PtyOutput();
  PtyOutput(const PtyOutput&) = delete;
  PtyOutput& operator=(const PtyOutput&) = delete;

  // False with the reason.
  bool Open(std::string* error);
  void Close();
  const std::string& Path() const { return m_path; }

  void Send(const std::string& sentences);
  // Times the reader's unread backlog was thrown away.
  std::uint64_t Flushes() const { return m_flushes; }

 private:
  int m_master = -1;
  int m_terminal = -1;  // kept open so the terminal outlives its readers
  std::string m_path;
  std::uint64_t m_flushes = 0;
};

}  // namespace apdesk::nmea
