#pragma once
// The language-file format: INI-like text read line by line. A line is
// trimmed, empty lines and lines beginning with "//" are skipped, "[name]"
// opens a section, and every other line of the wanted section is an entry
// "key = value" (value cut before a "//" that is not its first character).
// Names and keys match byte for byte. Under GBK a double-byte character is
// stepped over whole, so its trail byte never counts as a bracket, "=", "/"
// or white space.

#include <string>
#include <string_view>
#include <vector>

namespace apdesk {

struct LanguageSection {
  std::vector<std::string> keys;
  std::vector<std::string> values;
};

// Appends the entries of every occurrence of `section` in `text`, in file
// order, except an occurrence whose header directly ends a previous one.
void ScanLanguageSection(std::string_view text, std::string_view section, bool gbk, LanguageSection& out);

// One language file read once: its bytes are kept, and each section is
// scanned from them when asked for.
class LanguageBook {
 public:
  // False when the file is absent or cannot be read (the book is then empty).
  // GBK scanning applies when `gbk` is set and the file is not UTF-8.
  bool Read(const std::string& path, bool gbk);
  // Appends the section's entries as ScanLanguageSection does.
  void Section(std::string_view section, LanguageSection& out) const;
  bool IsRead() const { return m_read; }

 private:
  std::string m_text;
  bool m_gbk = false;
  bool m_read = false;
};

// Reads the file and scans it. False when the file is absent or cannot be
// read; GBK scanning applies when `gbk` is set and the file is not UTF-8.
bool ReadLanguageSection(const std::string& path, std::string_view section, bool gbk, LanguageSection& out);

// Why the file cannot serve as a language file ("it does not exist", "it is
// not a regular file", "it is empty", ...); empty when it can be read. A
// named pipe or device is judged without being opened.
std::string LanguageFileProblem(const std::string& path);

// Trims white space (space, tab, CR, LF, VT, FF) at both ends.
std::string_view TrimLanguageLine(std::string_view line, bool gbk);

// The entry rule on one trimmed line: key before the first "=", the rest
// the value; a line without "=" is all value.
void SplitLanguageEntry(std::string_view line, bool gbk, std::string& key, std::string& value);

// A section header's name: after the first "[" up to the first "]", trimmed.
std::string LanguageHeaderName(std::string_view line, bool gbk);

// Like strtol on a 32-bit long: leading white space, optional sign, decimal
// digits up to the first other character; 0 without digits; clamped.
int ControlIdFromKey(std::string_view key);

bool IsValidUtf8(std::string_view bytes);

}  // namespace apdesk
