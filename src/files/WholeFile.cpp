#include "files/WholeFile.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <streambuf>

#include "FileSystem.h"

namespace apdesk {
namespace {

namespace sys = filesys;

bool Fail(std::string* error, const std::string& path, int err) {
  if (error != nullptr) *error = "cannot write " + path + ": " + FileErrorReason(err);
  return false;
}

bool Refuse(std::string* error, const std::string& path, const char* why) {
  if (error != nullptr) *error = "cannot write " + path + ": " + why;
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
    if (n > 0 && !sys::WriteAll(m_fd, std::string_view(pbase(), n))) {
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

bool WriteInPlace(const std::string& shown, const std::string& path, const FileProducer& produce,
                  std::string* error) {
  const int fd = sys::OpenInPlace(path);
  if (fd < 0) {
    if (errno == ENXIO) return Refuse(error, shown, "it is a named pipe that nobody reads");
    return Fail(error, shown, errno);
  }
  const bool ok = Produce(fd, shown, produce, error);
  if (!sys::Close(fd) && ok && errno != EINTR) return Fail(error, shown, errno);
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
#ifdef EDQUOT
    case EDQUOT:
#endif
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

bool WriteWholeFile(const std::string& path, std::string_view text, std::string* error,
                    WholeFileRules rules) {
  return WriteFileStreamed(
      path,
      [text](std::ostream& out, std::string*) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        return true;
      },
      error, rules);
}

bool WriteFileStreamed(const std::string& path, const FileProducer& produce, std::string* error,
                       WholeFileRules rules) {
  if (path.empty()) return Fail(error, "\"\"", ENOENT);
  sys::Target target;
  if (!sys::Resolve(path, rules.followLinks, &target)) return Fail(error, path, errno);
  switch (target.kind) {
    case sys::Kind::Folder:
      return Fail(error, path, EISDIR);
    case sys::Kind::Link:
      return Refuse(error, path, "it is a symbolic link");
    case sys::Kind::Special:
      if (!rules.writeThrough) return Refuse(error, path, "it is not a regular file");
      return WriteInPlace(path, target.path, produce, error);
    case sys::Kind::Missing:
    case sys::Kind::Regular:
      break;
  }

  std::string temp;
  const int fd = sys::CreateBeside(target.path, &temp);
  if (fd < 0) return Fail(error, path, errno);
  bool ok = target.kind != sys::Kind::Regular || sys::KeepMode(fd, target.mode);
  if (!ok) Fail(error, path, errno);
  ok = ok && Produce(fd, path, produce, error);
  if (ok && !sys::FlushToDisk(fd)) ok = Fail(error, path, errno);
  if (!sys::Close(fd) && ok) ok = Fail(error, path, errno);
  if (ok && !sys::ReplaceWith(temp, target.path)) ok = Fail(error, path, errno);
  if (!ok) {
    sys::Remove(temp);
    return false;
  }
  sys::FlushFolderOf(target.path);
  return true;
}

bool filesys::WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const long long n = WriteSome(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace apdesk
