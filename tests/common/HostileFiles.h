#pragma once
// What can sit where a program expects a file: a named pipe (opening it
// waits for a writer), a link to /dev/zero (never ends), a folder, a sparse
// file far larger than any real one. A read that does not check hangs or
// runs out of memory; the watchdog turns such a hang into a failure.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace test {

struct HostileFile {
  const char* what;
  std::string path;
};

// Makes each of them in `folder`, named WHAT + suffix.
inline std::vector<HostileFile> MakeHostileFiles(const std::string& folder, const std::string& suffix) {
  std::vector<HostileFile> out;
  const std::string pipe = folder + "/pipe" + suffix;
  if (::mkfifo(pipe.c_str(), 0600) == 0) out.push_back({"named pipe", pipe});
  const std::string zero = folder + "/zero" + suffix;
  if (::symlink("/dev/zero", zero.c_str()) == 0) out.push_back({"link to /dev/zero", zero});
  const std::string dir = folder + "/folder" + suffix;
  if (::mkdir(dir.c_str(), 0700) == 0) out.push_back({"folder", dir});
  const std::string big = folder + "/huge" + suffix;
  const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd >= 0 && ::ftruncate(fd, off_t{3} << 30) == 0) out.push_back({"3 GB sparse file", big});
  if (fd >= 0) ::close(fd);
  return out;
}

// Ends the test program if the scope lasts longer than `seconds`: a read
// that waits on a pipe never comes back to fail an assertion.
class HangWatchdog {
 public:
  explicit HangWatchdog(unsigned seconds) { ::alarm(seconds); }
  ~HangWatchdog() { ::alarm(0); }
  HangWatchdog(const HangWatchdog&) = delete;
  HangWatchdog& operator=(const HangWatchdog&) = delete;
};

}  // namespace test
