#pragma once
// apsim as a child process, for tests that unplug and replug a controller:
// Start runs "apsim ARGS..." (the one beside the test program) and waits for the line
// it prints (the pseudo-terminal's or the socket's path); Stop ends it with
// SIGTERM and waits, as pulling the cable ends the device.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

class ApsimProcess {
 public:
  // apsim is looked for beside the test program, wherever the test's
  // current folder is.
  ApsimProcess() : m_program(BesideMe()) {}
  ~ApsimProcess() { Stop(); }
  ApsimProcess(const ApsimProcess&) = delete;
  ApsimProcess& operator=(const ApsimProcess&) = delete;

  static bool Available() { return ::access(BesideMe().c_str(), X_OK) == 0; }

  // False when apsim cannot start or prints nothing.
  bool Start(const std::vector<std::string>& args) {
    Stop();
    int out[2];
    if (::pipe(out) != 0) return false;
    std::vector<std::string> all{"apsim"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    m_pid = ::fork();
    if (m_pid < 0) return false;
    if (m_pid == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      ::execv(m_program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    FILE* f = ::fdopen(out[0], "r");
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    m_line = line;
    while (!m_line.empty() && (m_line.back() == '\n' || m_line.back() == '\r')) m_line.pop_back();
    return got && !m_line.empty();
  }

  void Stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

  bool Running() const { return m_pid > 0; }
  const std::string& Line() const { return m_line; }

 private:
  static std::string BesideMe() {
    char self[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/apsim";
  }

  std::string m_program;
  pid_t m_pid = -1;
  std::string m_line;
};

}  // namespace testsupport
