#pragma once
// apsim as a child process, for tests that unplug and replug a controller:
// Start runs "apsim ARGS..." (the one beside the test program) and waits for
// the line it prints (the pseudo-terminal's or the socket's path); Stop ends
// it with SIGTERM and waits, as pulling the cable ends the device.

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "common/ChildProcess.h"

namespace testsupport {

class ApsimProcess {
 public:
  // How long apsim may take to say where it listens.
  static constexpr int kStartMs = 10000;

  ~ApsimProcess() { Stop(); }

  static bool Available() { return ::access(BesideMe().c_str(), X_OK) == 0; }

  // False when apsim cannot start or prints nothing.
  bool Start(const std::vector<std::string>& args) {
    Stop();
    std::vector<std::string> argv{BesideMe()};
    argv.insert(argv.end(), args.begin(), args.end());
    m_child = std::make_unique<ChildProcess>(argv);
    if (!m_child->Started()) return false;
    m_line = m_child->ReadLine(kStartMs);
    while (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
    return !m_line.empty();
  }

  void Stop() {
    if (m_child) m_child->Stop();
    m_child.reset();  // killed if SIGTERM was not enough
  }

  bool Running() const { return m_child != nullptr && m_child->Started(); }
  const std::string& Line() const { return m_line; }

 private:
  // apsim is looked for beside the test program, wherever the test's
  // current folder is.
  static std::string BesideMe() {
    char self[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/apsim";
  }

  std::unique_ptr<ChildProcess> m_child;
  std::string m_line;
};

}  // namespace testsupport
