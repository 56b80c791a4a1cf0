#pragma once
// apctl's standard output: a stream buffer over a file descriptor that keeps
// the reason of the write that failed. The library's own stream forgets it
// (a later flush finds errno cleared), so a full disk came out as
// "Input/output error" or not at all.

#include <unistd.h>

#include <cerrno>
#include <streambuf>
#include <vector>

namespace apdesk::cli {

class FdOutput : public std::streambuf {
 public:
  explicit FdOutput(int fd) : m_fd(fd), m_buffer(64 * 1024) {
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
  }
  ~FdOutput() override { sync(); }
  FdOutput(const FdOutput&) = delete;
  FdOutput& operator=(const FdOutput&) = delete;

  // The errno of the first write that failed; 0 while none has.
  int FirstError() const { return m_error; }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }

  int sync() override {
    const char* at = pbase();
    while (at < pptr()) {
      const ssize_t n = ::write(m_fd, at, static_cast<std::size_t>(pptr() - at));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (m_error == 0) m_error = n < 0 ? errno : EIO;
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
        return -1;
      }
      at += n;
    }
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    return 0;
  }

 private:
  int m_fd;
  std::vector<char> m_buffer;
  int m_error = 0;
};

}  // namespace apdesk::cli
