#pragma once
// One scratch file per fuzzer process, rewritten for every input, so the
// readers under test open a real path. It lives in a folder of its own
// (on /dev/shm when there is one, to keep each run cheap), removed at exit.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace apdesk::fuzz {

class ScratchFile {
 public:
  // `name` is the file's name inside the fuzzer's own folder.
  explicit ScratchFile(const char* name) {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string folder = std::string(base) + "/apdesk-fuzz-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    m_folder = folder;
    m_path = folder + "/" + name;
  }
  ~ScratchFile() {
    ::unlink(m_path.c_str());
    ::rmdir(m_folder.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& Path() const { return m_path; }

  void Write(const void* data, std::size_t size) const {
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t put = ::write(fd, p, size);
      if (put <= 0) std::abort();
      p += put;
      size -= static_cast<std::size_t>(put);
    }
    ::close(fd);
  }

  std::string Read() const {
    std::string text;
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::abort();
    char buf[65536];
    for (ssize_t got; (got = ::read(fd, buf, sizeof buf)) > 0;)
      text.append(buf, static_cast<std::size_t>(got));
    ::close(fd);
    return text;
  }

 private:
  std::string m_folder;
  std::string m_path;
};

// Says which invariant broke before stopping the run.
#define FUZZ_CHECK(condition)                                                        \
  do {                                                                               \
    if (!(condition)) {                                                              \
      std::fprintf(stderr, "invariant broken, line %d: %s\n", __LINE__, #condition); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

}  // namespace apdesk::fuzz
