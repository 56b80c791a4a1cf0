#pragma once
// A small INI reader/writer with the rules of the Windows private-profile
// functions: section and key names match case-insensitively (ASCII), names
// and values are trimmed, only the first section of a name is looked at, and
// writing one key leaves every other byte of the file as it was.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace apdesk {

class IniFile {
 public:
  enum class LoadResult { Ok, Missing, Unreadable };

  // Files larger than this are not ours: they are neither read nor rewritten.
  static constexpr std::size_t kMaxFileSize = 16u * 1024u * 1024u;

  IniFile() = default;
  explicit IniFile(std::string text) : m_text(std::move(text)) {}

  // Missing leaves `out` empty, which is how a first write starts. For
  // Unreadable, *why (when given) says why ("it is a folder", ...). A named
  // pipe or device is refused without being opened.
  static LoadResult Load(const std::string& path, IniFile& out, std::string* why = nullptr);

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // False, with the text unchanged, for names or values the format cannot
  // hold (empty names, line breaks, NUL, "=" in a key, "]" in a section).
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  const std::string& Text() const { return m_text; }

  // Temp file beside the target, then rename: a crash never leaves half a file.
  bool Save(const std::string& path) const;

 private:
  std::string m_text;
};

}  // namespace apdesk
