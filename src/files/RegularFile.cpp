#include "files/RegularFile.h"

#include <cerrno>
#include <cstring>

#include "FileSystem.h"

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
  const int f = filesys::OpenWithoutWaiting(path, opt.noFollow);
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
  filesys::Opened what;
  if (!filesys::LookAt(f, &what)) {
    *why = std::strerror(errno);
    filesys::Close(f);
    return FileOpen::Refused;
  }
  if (what.kind != filesys::Kind::Regular) {
    *why = what.kind == filesys::Kind::Folder ? "it is a folder" : "it is not a regular file";
    filesys::Close(f);
    return FileOpen::Refused;
  }
  if (what.size > opt.maxBytes) {
    *why = "it is larger than " + SizeInWords(opt.maxBytes);
    filesys::Close(f);
    return FileOpen::Refused;
  }
  // A regular file: reads from here on may as well block.
  filesys::MakeBlocking(f);
  *fd = f;
  *size = what.size;
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
    const long long got = filesys::Read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *why = std::strerror(errno);
      filesys::Close(fd);
      return FileOpen::Refused;
    }
    if (got == 0) break;
    // The file may grow while it is read: the bound holds for what is read.
    if (out.size() + static_cast<std::uint64_t>(got) > opt.maxBytes) {
      *why = "it is larger than " + SizeInWords(opt.maxBytes);
      filesys::Close(fd);
      return FileOpen::Refused;
    }
    out.append(buf, static_cast<std::size_t>(got));
  }
  filesys::Close(fd);
  *text = std::move(out);
  return FileOpen::Ok;
}

}  // namespace apdesk
