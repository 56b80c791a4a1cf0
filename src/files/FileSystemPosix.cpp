// Reading and writing files on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "FileSystem.h"

namespace apdesk::filesys {
namespace {

// Links are followed this far, as the kernel does.
constexpr int kMaxLinks = 40;

std::string Folder(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The name a chain of symbolic links ends at (existing or not), so the file
// is replaced there and the links stay as they are.
bool FollowLinks(std::string path, std::string* end) {
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      *end = path;
      return true;
    }
    char buffer[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n < 0) return false;
    const std::string to(buffer, static_cast<std::size_t>(n));
    path = to.front() == '/' ? to : Folder(path) + "/" + to;
  }
  errno = ELOOP;
  return false;
}

}  // namespace

int OpenWithoutWaiting(const std::string& path, bool noFollow) {
  int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  if (noFollow) flags |= O_NOFOLLOW;
  int fd;
  do {
    fd = open(path.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool LookAt(int fd, Opened* what) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return false;
  what->kind = S_ISREG(st.st_mode) ? Kind::Regular : S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Special;
  what->size = st.st_size < 0 ? 0 : static_cast<std::uint64_t>(st.st_size);
  return true;
}

void MakeBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

long long Read(int fd, char* buffer, std::size_t size) {
  return read(fd, buffer, size);
}

bool Resolve(const std::string& path, bool followLinks, Target* target) {
  target->path = path;
  struct stat info {};
  if (!followLinks) {
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
      target->kind = Kind::Link;
      return true;
    }
  } else if (!FollowLinks(path, &target->path)) {
    return false;
  }
  if (stat(target->path.c_str(), &info) != 0) {
    target->kind = Kind::Missing;
  } else if (S_ISDIR(info.st_mode)) {
    target->kind = Kind::Folder;
  } else if (S_ISREG(info.st_mode)) {
    target->kind = Kind::Regular;
    target->mode = info.st_mode & 07777;
  } else {
    target->kind = Kind::Special;
  }
  return true;
}

int OpenInPlace(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

int CreateBeside(const std::string& path, std::string* temp) {
  // Created as a new file is (the umask applies); KeepMode gives it the old
  // file's permissions.
  static std::atomic<unsigned> counter{0};
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    *temp = Folder(path) + "/.apdesk-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  return fd;
}

bool KeepMode(int fd, unsigned mode) {
  return fchmod(fd, static_cast<mode_t>(mode)) == 0;
}

long long WriteSome(int fd, const char* bytes, std::size_t size) {
  ssize_t n;
  do {
    n = write(fd, bytes, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

bool FlushToDisk(int fd) {
  return fsync(fd) == 0;
}

bool Close(int fd) {
  return close(fd) == 0;
}

bool ReplaceWith(const std::string& temp, const std::string& path) {
  return std::rename(temp.c_str(), path.c_str()) == 0;
}

void Remove(const std::string& path) {
  unlink(path.c_str());
}

void FlushFolderOf(const std::string& path) {
  // The file's bytes are on the disk already; a file system that cannot
  // flush a folder still holds the old file or the new one, whole.
  const int fd = open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace apdesk::filesys
