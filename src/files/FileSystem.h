#pragma once
// What reading and writing files needs of the operating system; one
// implementation per platform (FileSystemPosix.cpp, FileSystemWindows.cpp).
// Each returns false or -1 with errno set.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace apdesk::filesys {

enum class Kind { Missing, Regular, Folder, Special, Link };

struct Target {
  std::string path;  // where the file is replaced (links followed, when they are)
  Kind kind = Kind::Missing;
  unsigned mode = 0;  // permission bits of a regular file
};

// Opens for reading without waiting (a named pipe would wait for its
// writer); with noFollow a symbolic link is refused with ELOOP.
int OpenWithoutWaiting(const std::string& path, bool noFollow);
struct Opened {
  Kind kind = Kind::Missing;
  std::uint64_t size = 0;
};
bool LookAt(int fd, Opened* what);
void MakeBlocking(int fd);
long long Read(int fd, char* buffer, std::size_t size);

// What stands at `path`; with followLinks, at the end of its chain of links.
bool Resolve(const std::string& path, bool followLinks, Target* target);
// A device or pipe opened for writing in place; a pipe without a reader is
// refused with ENXIO instead of waiting for one.
int OpenInPlace(const std::string& path);
// A new file beside `path` (a short name: a target near the length limit
// still works); its name into *temp.
int CreateBeside(const std::string& path, std::string* temp);
bool KeepMode(int fd, unsigned mode);
// Some of the bytes (at least one), or -1 with errno.
long long WriteSome(int fd, const char* bytes, std::size_t size);
bool WriteAll(int fd, std::string_view bytes);
bool FlushToDisk(int fd);
bool Close(int fd);
// Puts temp in the place of path, at once.
bool ReplaceWith(const std::string& temp, const std::string& path);
void Remove(const std::string& path);
// Makes the rename itself last; where the platform cannot, nothing to do.
void FlushFolderOf(const std::string& path);

}  // namespace apdesk::filesys
