#pragma once
// A program started by a test and ended by it: Start runs it with its
// standard output on a pipe (its standard error into a file or /dev/null),
// ReadLine takes one line with a time limit, Stop ends it with SIGTERM and
// waits for it. Only the process it started is ever signalled.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
 public:
  ChildProcess() = default;
  explicit ChildProcess(std::vector<std::string> argv) { Start(std::move(argv)); }
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // argv[0] is looked up in PATH.
  bool Start(std::vector<std::string> argv, const std::string& stderrPath = "/dev/null") {
    Stop();
    int out[2];
    if (::pipe(out) != 0) return false;
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    m_pid = ::fork();
    if (m_pid < 0) return false;
    if (m_pid == 0) {
      ::dup2(out[1], 1);
      const int err = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err >= 0) ::dup2(err, 2);
      ::close(out[0]);
      ::close(out[1]);
      ::execvp(args[0], args.data());
      ::_exit(127);
    }
    ::close(out[1]);
    m_out = out[0];
    return true;
  }

  // One line without its end; false when none came within ms or the output ended.
  bool ReadLine(std::string* line, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (true) {
      const std::size_t nl = m_buffer.find('\n');
      if (nl != std::string::npos) {
        *line = m_buffer.substr(0, nl);
        m_buffer.erase(0, nl + 1);
        return true;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (m_out < 0 || left.count() <= 0) return false;
      pollfd p{m_out, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[4096];
      const ssize_t n = ::read(m_out, chunk, sizeof chunk);
      if (n <= 0) return false;
      m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
  }

  // The same, empty when no line came.
  std::string ReadLine(int ms) {
    std::string line;
    return ReadLine(&line, ms) ? line : std::string();
  }

  // Waits for it to end by itself: its exit status; -1 when a signal ended
  // it, or when it had not ended within timeoutMs (it is killed then).
  int Wait(int timeoutMs) {
    if (m_pid <= 0) return -1;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pid_t r = 0;
    while ((r = ::waitpid(m_pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
      ::usleep(10000);
    }
    if (r == 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    return r == 0 || !WIFEXITED(status) ? -1 : WEXITSTATUS(status);
  }

  // Ends it with SIGTERM (SIGKILL after timeoutMs): as Wait.
  int Stop(int timeoutMs = 3000) {
    int result = -1;
    if (m_pid > 0) {
      ::kill(m_pid, SIGTERM);
      result = Wait(timeoutMs);
    }
    if (m_out >= 0) ::close(m_out);
    m_out = -1;
    return result;
  }

  bool Running() const { return m_pid > 0; }
  bool Started() const { return Running(); }

  // The path of `program` in PATH (or an sbin folder), empty when it is not installed.
  static std::string Which(const std::string& program) {
    const char* path = ::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    dirs += ":/usr/sbin:/sbin";
    std::size_t begin = 0;
    while (begin <= dirs.size()) {
      const std::size_t end = std::min(dirs.find(':', begin), dirs.size());
      const std::string candidate = dirs.substr(begin, end - begin) + "/" + program;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
      begin = end + 1;
    }
    return "";
  }

 private:
  pid_t m_pid = -1;
  int m_out = -1;
  std::string m_buffer;
};

}  // namespace testsupport
