#include "localisation/LanguageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "files/RegularFile.h"

namespace apdesk {
namespace {

// Language files are small; a larger one is not a language file.
constexpr std::size_t kMaxLanguageFile = 16u * 1024u * 1024u;

bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsLead(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// Length of the character starting at s[i]: 2 for a GBK lead byte with a
// byte after it, else 1.
std::size_t CharLen(std::string_view s, std::size_t i, bool gbk) {
  return (gbk && IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

// First position of the single-byte character `c` (or of "//" when c is
// '/' and `pair`), stepping over double-byte characters.
std::size_t Find(std::string_view s, char c, bool gbk, std::size_t from = 0, bool pair = false) {
  for (std::size_t i = from; i < s.size();) {
    const std::size_t n = CharLen(s, i, gbk);
    if (n == 1 && s[i] == c && (!pair || (i + 1 < s.size() && s[i + 1] == c))) return i;
    i += n;
  }
  return std::string_view::npos;
}

bool StartsWithComment(std::string_view t) {
  return t.size() >= 2 && t[0] == '/' && t[1] == '/';
}

}  // namespace

std::string_view TrimLanguageLine(std::string_view line, bool gbk) {
  std::size_t begin = 0;
  while (begin < line.size() && IsSpace(static_cast<unsigned char>(line[begin]))) ++begin;
  // The end is found walking forward, so a trail byte is never taken for a blank.
  std::size_t end = begin;
  for (std::size_t i = begin; i < line.size();) {
    const std::size_t n = CharLen(line, i, gbk);
    if (n == 2 || !IsSpace(static_cast<unsigned char>(line[i]))) end = i + n;
    i += n;
  }
  return line.substr(begin, end - begin);
}

std::string LanguageHeaderName(std::string_view line, bool gbk) {
  const std::size_t open = Find(line, '[', gbk);
  if (open == std::string_view::npos) return {};
  const std::size_t close = Find(line, ']', gbk, open + 1);
  if (close == std::string_view::npos) return {};
  return std::string(TrimLanguageLine(line.substr(open + 1, close - open - 1), gbk));
}

void SplitLanguageEntry(std::string_view line, bool gbk, std::string& key, std::string& value) {
  const std::size_t eq = Find(line, '=', gbk);
  std::string_view k;
  std::string_view v = line;
  if (eq != std::string_view::npos) {
    k = TrimLanguageLine(line.substr(0, eq), gbk);
    v = TrimLanguageLine(line.substr(eq + 1), gbk);
  }
  // A remark after the text is cut; a value that begins with "//" stays whole.
  const std::size_t slash = Find(v, '/', gbk, 0, true);
  if (slash != std::string_view::npos && slash > 0) v = TrimLanguageLine(v.substr(0, slash), gbk);
  key.assign(k);
  value.assign(v);
}

void ScanLanguageSection(std::string_view text, std::string_view section, bool gbk, LanguageSection& out) {
  std::size_t pos = 0;
  // Lines end at LF (a CR before it is trimmed away with the white space).
  auto nextLine = [&](std::string_view& line) {
    if (pos >= text.size()) return false;
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    line = text.substr(pos, nl - pos);
    pos = nl + 1;
    return true;
  };
  std::string_view line;
  std::string key, value;
  while (nextLine(line)) {
    std::string_view t = TrimLanguageLine(line, gbk);
    if (t.empty() || StartsWithComment(t) || t.front() != '[') continue;
    if (LanguageHeaderName(t, gbk) != section) continue;
    // Inside the wanted section until the next header, which is consumed as
    // the end marker: scanning goes on with the line after it.
    while (nextLine(line)) {
      t = TrimLanguageLine(line, gbk);
      if (t.empty() || StartsWithComment(t)) continue;
      if (t.front() == '[') break;
      SplitLanguageEntry(t, gbk, key, value);
      out.keys.push_back(key);
      out.values.push_back(value);
    }
  }
}

bool LanguageBook::Read(const std::string& path, bool gbk) {
  // A named pipe or device in the file's place must not hold the program.
  RegularFileOptions options;
  options.maxBytes = kMaxLanguageFile;
  std::string why;
  m_text.clear();
  m_read = ReadRegularFile(path, options, &m_text, &why) == FileOpen::Ok;
  if (!m_read) m_text.clear();
  m_gbk = gbk && !IsValidUtf8(m_text);
  return m_read;
}

void LanguageBook::Section(std::string_view section, LanguageSection& out) const {
  ScanLanguageSection(m_text, section, m_gbk, out);
}

bool ReadLanguageSection(const std::string& path, std::string_view section, bool gbk, LanguageSection& out) {
  LanguageBook book;
  if (!book.Read(path, gbk)) return false;
  book.Section(section, out);
  return true;
}

std::string LanguageFileProblem(const std::string& path) {
  RegularFileOptions options;
  options.maxBytes = kMaxLanguageFile;
  int fd = -1;
  std::uint64_t size = 0;
  std::string why;
  const FileOpen opened = OpenRegularFile(path, options, &fd, &size, &why);
  if (opened == FileOpen::Missing) return "it does not exist";
  if (opened != FileOpen::Ok) {
    if (why.rfind("it is larger", 0) == 0) return "it is too large to be a language file";
    return why.rfind("it is ", 0) == 0 ? why : "it cannot be read: " + why;
  }
  char byte;
  ssize_t got;
  do {
    got = ::read(fd, &byte, 1);
  } while (got < 0 && errno == EINTR);
  const int err = errno;
  ::close(fd);
  if (got < 0) return std::string("it cannot be read: ") + std::strerror(err);
  if (size == 0 || got == 0) return "it is empty";
  return {};
}

int ControlIdFromKey(std::string_view key) {
  std::size_t i = 0;
  while (i < key.size() && IsSpace(static_cast<unsigned char>(key[i]))) ++i;
  bool negative = false;
  if (i < key.size() && (key[i] == '+' || key[i] == '-')) negative = key[i++] == '-';
  long long v = 0;
  for (; i < key.size() && key[i] >= '0' && key[i] <= '9'; ++i) {
    if (v <= static_cast<long long>(INT_MAX) + 1) v = v * 10 + (key[i] - '0');
  }
  if (negative) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t n;
    unsigned int cp;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
  }
  return true;
}

}  // namespace apdesk
