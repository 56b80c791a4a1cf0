// Reading and writing files on Windows: no symbolic links to follow, no
// permission bits to keep, no pipe that waits on open; MoveFileEx replaces
// at once.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "FileSystem.h"

namespace apdesk::filesys {
namespace {

std::string Folder(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

int OpenWithoutWaiting(const std::string& path, bool) {
  return _open(path.c_str(), _O_RDONLY | _O_BINARY);
}

bool LookAt(int fd, Opened* what) {
  struct _stat64 st {};
  if (_fstat64(fd, &st) != 0) return false;
  what->kind = (st.st_mode & _S_IFREG)   ? Kind::Regular
               : (st.st_mode & _S_IFDIR) ? Kind::Folder
                                         : Kind::Special;
  what->size = st.st_size < 0 ? 0 : static_cast<std::uint64_t>(st.st_size);
  return true;
}

void MakeBlocking(int) {}

long long Read(int fd, char* buffer, std::size_t size) {
  return _read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}

bool Resolve(const std::string& path, bool, Target* target) {
  target->path = path;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD why = GetLastError();
    if (why == ERROR_FILE_NOT_FOUND) {
      target->kind = Kind::Missing;
      return true;
    }
    errno = why == ERROR_PATH_NOT_FOUND ? ENOENT : why == ERROR_ACCESS_DENIED ? EACCES : EINVAL;
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    target->kind = Kind::Folder;
  } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // A link: its target is not looked up here, so it is never written through.
    target->kind = Kind::Link;
  } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
    target->kind = Kind::Special;
  } else {
    target->kind = Kind::Regular;
  }
  return true;
}

int OpenInPlace(const std::string& path) {
  return _open(path.c_str(), _O_WRONLY | _O_BINARY);
}

int CreateBeside(const std::string& path, std::string* temp) {
  static std::atomic<unsigned> counter{0};
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    *temp =
        Folder(path) + "/.apdesk-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    fd = _open(temp->c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0 && errno != EEXIST) break;
  }
  return fd;
}

bool KeepMode(int, unsigned) {
  return true;
}  // a new file gets the folder's rights, as the old one did

long long WriteSome(int fd, const char* bytes, std::size_t size) {
  return _write(fd, bytes, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}

bool FlushToDisk(int fd) {
  return _commit(fd) == 0;
}

bool Close(int fd) {
  return _close(fd) == 0;
}

bool ReplaceWith(const std::string& temp, const std::string& path) {
  if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  const DWORD why = GetLastError();
  errno = why == ERROR_ACCESS_DENIED || why == ERROR_SHARING_VIOLATION ? EACCES
          : why == ERROR_PATH_NOT_FOUND                                ? ENOENT
                                                                       : EIO;
  return false;
}

void Remove(const std::string& path) {
  _unlink(path.c_str());
}

void FlushFolderOf(const std::string&) {}  // MOVEFILE_WRITE_THROUGH flushed the rename

}  // namespace apdesk::filesys
