#include "recorder/WholeFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ostream>
#include <streambuf>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace apdesk {
namespace {

// Links are followed this far, as the kernel does.
constexpr int kMaxLinks = 40;

std::string Folder(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool Fail(std::string* error, const std::string& path, int err) {
  if (error != nullptr) *error = "cannot write " + path + ": " + FileErrorReason(err);
  return false;
}

bool WriteAll(int fd, std::string_view text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The name a chain of symbolic links ends at (existing or not), so the file
// is replaced there and the links stay as they are.
bool FollowLinks(std::string path, std::string* target, int* err) {
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      *target = path;
      return true;
    }
    char buffer[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n < 0) {
      *err = errno;
      return false;
    }
    const std::string to(buffer, static_cast<std::size_t>(n));
    path = to.front() == '/' ? to : Folder(path) + "/" + to;
  }
  *err = ELOOP;
  return false;
}

// An output stream over a file descriptor that remembers the first failed
// write and its errno.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd) : m_fd(fd) { setp(m_buffer, m_buffer + sizeof m_buffer); }
  int Error() const { return m_err; }

 protected:
  int_type overflow(int_type ch) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Drain() {
    if (m_err != 0) return false;
    const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
    if (n > 0 && !WriteAll(m_fd, std::string_view(pbase(), n))) {
      m_err = errno != 0 ? errno : EIO;
      return false;
    }
    setp(m_buffer, m_buffer + sizeof m_buffer);
    return true;
  }

  int m_fd;
  int m_err = 0;
  char m_buffer[64 * 1024];
};

// Runs the producer into fd; false with the reason of the first failure.
bool Produce(int fd, const std::string& shown, const FileProducer& produce, std::string* error) {
  FdStreamBuf buffer(fd);
  std::ostream out(&buffer);
  std::string why;
  const bool produced = produce(out, &why);
  out.flush();
  if (!produced) {
    if (error != nullptr) *error = why.empty() ? "cannot write " + shown : why;
    return false;
  }
  if (buffer.Error() != 0 || !out) return Fail(error, shown, buffer.Error() != 0 ? buffer.Error() : EIO);
  return true;
}

// Devices and pipes are written in place. A pipe without a reader would
// block the open, so it is refused instead.
bool WriteThrough(const std::string& shown, const std::string& path, const FileProducer& produce,
                  std::string* error) {
  const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENXIO && error != nullptr) {
      *error = "cannot write " + shown + ": it is a named pipe that nobody reads";
      return false;
    }
    return Fail(error, shown, errno);
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  const bool ok = Produce(fd, shown, produce, error);
  if (close(fd) != 0 && ok && errno != EINTR) return Fail(error, shown, errno);
  return ok;
}

}  // namespace

std::string FileErrorReason(int err) {
  switch (err) {
    case ENOENT:
      return "no such folder";
    case ENOTDIR:
      return "a part of the path is not a folder";
    case EISDIR:
      return "it is a folder";
    case EROFS:
      return "read-only file system";
    case EACCES:
    case EPERM:
      return "permission denied";
    case ENOSPC:
    case EDQUOT:
      return "the disk is full";
    case ENAMETOOLONG:
      return "the name is too long";
    case ELOOP:
      return "too many symbolic links";
    case EPIPE:
      return "the reader has gone (broken pipe)";
    default:
      return std::strerror(err);
  }
}

bool WriteWholeFile(const std::string& path, std::string_view text, std::string* error) {
  return WriteFileStreamed(
      path,
      [text](std::ostream& out, std::string*) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        return true;
      },
      error);
}

bool WriteFileStreamed(const std::string& path, const FileProducer& produce, std::string* error) {
  if (path.empty()) return Fail(error, "\"\"", ENOENT);
  std::string target;
  int err = 0;
  if (!FollowLinks(path, &target, &err)) return Fail(error, path, err);
  struct stat info {};
  const bool exists = stat(target.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) return Fail(error, path, EISDIR);
  if (exists && !S_ISREG(info.st_mode)) return WriteThrough(path, target, produce, error);

  // A short temporary name, so a target name near the length limit still
  // works; created as a new file is (the umask applies), then given the old
  // file's permissions.
  std::string temp;
  int fd = -1;
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = Folder(target) + "/.apdesk-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return Fail(error, path, errno);
  bool ok = !exists || fchmod(fd, info.st_mode & 07777) == 0;
  if (!ok) Fail(error, path, errno);
  ok = ok && Produce(fd, path, produce, error);
  if (ok && fsync(fd) != 0) ok = Fail(error, path, errno);
  if (close(fd) != 0 && ok) ok = Fail(error, path, errno);
  if (ok && rename(temp.c_str(), target.c_str()) != 0) ok = Fail(error, path, errno);
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace apdesk
