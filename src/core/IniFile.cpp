#include "core/IniFile.h"

#include "files/RegularFile.h"
#include "files/WholeFile.h"

namespace apdesk {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// One line of the file: [begin, contentEnd) without its line end, lineEnd past it.
struct Line {
  std::size_t begin;
  std::size_t contentEnd;
  std::size_t lineEnd;
};

enum class Kind { Other, Header, Entry };

struct Parsed {
  Kind kind = Kind::Other;
  std::string_view name;   // section name or key
  std::string_view value;  // entries only
};

Parsed ParseLine(std::string_view raw) {
  Parsed p;
  const std::string_view t = Trim(raw);
  if (t.empty()) return p;
  if (t.front() == '[') {
    const std::size_t close = t.rfind(']');
    if (close != std::string_view::npos) {
      p.kind = Kind::Header;
      p.name = Trim(t.substr(1, close - 1));
      return p;
    }
  }
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return p;
  p.kind = Kind::Entry;
  p.name = Trim(t.substr(0, eq));
  p.value = Trim(t.substr(eq + 1));
  return p;
}

bool NextLine(const std::string& text, std::size_t& pos, Line& line) {
  if (pos >= text.size()) return false;
  const std::size_t nl = text.find('\n', pos);
  line.begin = pos;
  line.lineEnd = (nl == std::string::npos) ? text.size() : nl + 1;
  line.contentEnd = (nl == std::string::npos) ? text.size() : nl;
  if (line.contentEnd > line.begin && text[line.contentEnd - 1] == '\r') --line.contentEnd;
  pos = line.lineEnd;
  return true;
}

// Where a section's lines are: its header, the end of its last non-blank line
// and the key line, when there is one.
struct Place {
  bool sectionFound = false;
  std::size_t appendAt = 0;
  bool keyFound = false;
  Line keyLine{};
  std::string_view keyName;
  std::string_view value;
};

Place Locate(const std::string& text, std::string_view section, std::string_view key) {
  Place place;
  std::size_t pos = 0;
  Line line{};
  bool inside = false;
  while (NextLine(text, pos, line)) {
    const std::string_view raw(text.data() + line.begin, line.contentEnd - line.begin);
    const Parsed p = ParseLine(raw);
    if (p.kind == Kind::Header) {
      if (inside) break;  // only the first section of the name counts
      if (SameName(p.name, section)) {
        inside = true;
        place.sectionFound = true;
        place.appendAt = line.lineEnd;
      }
      continue;
    }
    if (!inside) continue;
    if (p.kind != Kind::Other || !Trim(raw).empty()) place.appendAt = line.lineEnd;
    if (p.kind == Kind::Entry && SameName(p.name, key)) {
      place.keyFound = true;
      place.keyLine = line;
      place.keyName = p.name;
      place.value = p.value;
      return place;
    }
  }
  return place;
}

std::string LineEndOf(const std::string& text) {
  const std::size_t nl = text.find('\n');
  if (nl != std::string::npos && nl > 0 && text[nl - 1] == '\r') return "\r\n";
  return "\n";
}

bool Holds(std::string_view s, std::string_view bad) {
  return s.find_first_of(bad) != std::string_view::npos;
}

constexpr std::string_view kLineBreaks("\r\n\0", 3);

// Binary bytes and not one "[section]" line: some other file (a random one,
// an image) under the settings file's name. Damage inside a real settings
// file keeps its sections and is read around.
bool LooksLikeAnotherFile(const std::string& text) {
  bool binary = false;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : '\n';
    if (c == '\n') {
      const std::string_view line = Trim(std::string_view(text).substr(lineStart, i - lineStart));
      if (line.size() >= 2 && line.front() == '[' && line.find(']') != std::string_view::npos) return false;
      lineStart = i + 1;
    } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r') {
      binary = true;
    }
  }
  return binary;
}

}  // namespace

IniFile::LoadResult IniFile::Load(const std::string& path, IniFile& out, std::string* why) {
  out.m_text.clear();
  auto unreadable = [why](std::string reason) {
    if (why != nullptr) *why = std::move(reason);
    return LoadResult::Unreadable;
  };
  // A named pipe or device in the file's place must not hold the program
  // before its window appears.
  apdesk::RegularFileOptions options;
  options.maxBytes = kMaxFileSize;
  std::string text, reason;
  const apdesk::FileOpen read = apdesk::ReadRegularFile(path, options, &text, &reason);
  if (read == apdesk::FileOpen::Missing) return LoadResult::Missing;
  if (read != apdesk::FileOpen::Ok) return unreadable(reason);
  if (LooksLikeAnotherFile(text))
    return unreadable("it is not a settings file: binary bytes and no [section] line");
  out.m_text = std::move(text);
  return LoadResult::Ok;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  const Place place = Locate(m_text, section, key);
  if (!place.keyFound) return std::nullopt;
  std::string_view v = place.value;
  // As the platform does: one pair of enclosing quotes is not part of the value.
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return std::string(v);
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (Trim(section) != section || section.empty() || Holds(section, kLineBreaks) || Holds(section, "]"))
    return false;
  if (Trim(key) != key || key.empty() || key.front() == '[' || Holds(key, kLineBreaks) || Holds(key, "="))
    return false;
  if (Holds(value, kLineBreaks)) return false;

  const std::string eol = LineEndOf(m_text);
  const Place place = Locate(m_text, section, key);
  if (place.keyFound) {
    std::string line(place.keyName);
    line += '=';
    line += value;
    m_text.replace(place.keyLine.begin, place.keyLine.contentEnd - place.keyLine.begin, line);
    return true;
  }
  std::string entry(key);
  entry += '=';
  entry += value;
  entry += eol;
  if (place.sectionFound) {
    std::size_t at = place.appendAt;
    // The section's last line may be the file's last, without a line end.
    if (at == m_text.size() && !m_text.empty() && m_text.back() != '\n') {
      m_text += eol;
      at = m_text.size();
    }
    m_text.insert(at, entry);
    return true;
  }
  if (!m_text.empty()) {
    if (m_text.back() != '\n') m_text += eol;
    m_text += eol;
  }
  m_text += '[';
  m_text += section;
  m_text += ']';
  m_text += eol;
  m_text += entry;
  return true;
}

bool IniFile::Save(const std::string& path) const {
  std::string error;
  return WriteWholeFile(path, m_text, &error, kSettingsFileRules);
}

}  // namespace apdesk
