#pragma once
// Every file the programs read goes through here. A named pipe, a link to
// /dev/zero or a terminal in place of a file would make a plain read wait
// for ever or run until memory is gone; these open without waiting, look at
// what was opened, and read only a regular file of a size the caller bounds.

#include <cstdint>
#include <string>

namespace apdesk {

struct RegularFileOptions {
  std::uint64_t maxBytes = 1024 * 1024;
  // Refuse a symbolic link itself (for folders the programs fill, where a
  // link can only have been put there by someone else).
  bool noFollow = false;
};

enum class FileOpen { Ok, Missing, Refused };

// Opens `path` for reading if it is a regular file of at most
// opt.maxBytes: the descriptor (close-on-exec, blocking reads) in *fd and its
// size in *size. Otherwise Missing or Refused with the reason in *why
// ("it is not a regular file", "it is larger than 16 MB", ...), without the
// path.
FileOpen OpenRegularFile(const std::string& path, const RegularFileOptions& opt, int* fd, std::uint64_t* size,
                         std::string* why);

// The whole of a regular file of at most opt.maxBytes into *text.
FileOpen ReadRegularFile(const std::string& path, const RegularFileOptions& opt, std::string* text,
                         std::string* why);

// "16 MB", "64 KB", "512 bytes": a bound in words.
std::string SizeInWords(std::uint64_t bytes);

}  // namespace apdesk
