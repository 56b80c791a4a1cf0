#include "files/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace apdesk {

std::string SizeInWords(std::uint64_t bytes) {
  constexpr std::uint64_t kKB = 1024, kMB = 1024 * kKB, kGB = 1024 * kMB;
  if (bytes >= kGB && bytes % kGB == 0) return std::to_string(bytes / kGB) + " GB";
  if (bytes >= kMB && bytes % kMB == 0) return std::to_string(bytes / kMB) + " MB";
  if (bytes >= kKB && bytes % kKB == 0) return std::to_string(bytes / kKB) + " KB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

FileOpen OpenRegularFile(const std::string& path, const RegularFileOptions& opt, int* fd, std::uint64_t* size,
                         std::string* why) {
  *fd = -1;
  // O_NONBLOCK: opening a named pipe would otherwise wait for its writer.
  int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  if (opt.noFollow) flags |= O_NOFOLLOW;
  int f;
  do {
    f = ::open(path.c_str(), flags);
  } while (f < 0 && errno == EINTR);
  if (f < 0) {
    const int err = errno;
    if (err == ENOENT) {
      *why = std::strerror(err);  // the words callers and scripts already know
      return FileOpen::Missing;
    }
    if (err == ELOOP && opt.noFollow) {
      *why = "it is a symbolic link";
    } else if (err == EISDIR) {
      *why = "it is a folder";
    } else {
      *why = std::strerror(err);
    }
    return FileOpen::Refused;
  }
  struct stat st {};
  if (::fstat(f, &st) != 0) {
    *why = std::strerror(errno);
    ::close(f);
    return FileOpen::Refused;
  }
  if (!S_ISREG(st.st_mode)) {
    *why = S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file";
    ::close(f);
    return FileOpen::Refused;
  }
  if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > opt.maxBytes) {
    *why = "it is larger than " + SizeInWords(opt.maxBytes);
    ::close(f);
    return FileOpen::Refused;
  }
  // A regular file: reads from here on may as well block.
  ::fcntl(f, F_SETFL, ::fcntl(f, F_GETFL) & ~O_NONBLOCK);
  *fd = f;
  *size = static_cast<std::uint64_t>(st.st_size);
  return FileOpen::Ok;
}

FileOpen ReadRegularFile(const std::string& path, const RegularFileOptions& opt, std::string* text,
                         std::string* why) {
  int fd = -1;
  std::uint64_t size = 0;
  const FileOpen opened = OpenRegularFile(path, opt, &fd, &size, why);
  if (opened != FileOpen::Ok) return opened;
  std::string out;
  out.reserve(static_cast<std::size_t>(size));
  char buf[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *why = std::strerror(errno);
      ::close(fd);
      return FileOpen::Refused;
    }
    if (got == 0) break;
    // The file may grow while it is read: the bound holds for what is read.
    if (out.size() + static_cast<std::uint64_t>(got) > opt.maxBytes) {
      *why = "it is larger than " + SizeInWords(opt.maxBytes);
      ::close(fd);
      return FileOpen::Refused;
    }
    out.append(buf, static_cast<std::size_t>(got));
  }
  ::close(fd);
  *text = std::move(out);
  return FileOpen::Ok;
}

}  // namespace apdesk
