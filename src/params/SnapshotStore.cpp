#include "params/SnapshotStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "files/RegularFile.h"
#include "files/WholeFile.h"

namespace apdesk {

namespace {

constexpr const char* kSuffix = ".params";
constexpr const char* kDefaultsName = "controller-defaults";

bool MakeFolders(const std::string& folder, std::string* error) {
  // Each level in turn, as mkdir -p.
  for (std::size_t at = 1; at <= folder.size(); ++at) {
    if (at != folder.size() && folder[at] != '/') continue;
    const std::string part = folder.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "the parameter history folder " + folder + " cannot be made: " + std::strerror(errno);
      return false;
    }
  }
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    *error = "the parameter history folder " + folder + " is not a folder";
    return false;
  }
  return true;
}

// A name safe in a file name: letters, digits and '-'.
std::string FileWord(const std::string& text) {
  std::string out;
  for (char c : text) out += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
  return out.empty() ? "write" : out;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

std::optional<long long> ParseUtcTime(const std::string& t) {
  // "YYYY-MM-DDTHH:MM:SSZ", exactly.
  static const char kForm[] = "dddd-dd-ddTdd:dd:ddZ";
  if (t.size() != sizeof kForm - 1) return std::nullopt;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const bool digit = t[i] >= '0' && t[i] <= '9';
    if (kForm[i] == 'd' ? !digit : t[i] != kForm[i]) return std::nullopt;
  }
  const auto num = [&](std::size_t at, std::size_t n) {
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (t[i] - '0');
    return v;
  };
  const int y = num(0, 4), mo = num(5, 2), d = num(8, 2), h = num(11, 2), mi = num(14, 2), s = num(17, 2);
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return std::nullopt;
  return DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 + mi * 60 +
         s;
}

std::string UtcTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::string SnapshotStore::DefaultFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/apdesk/parameters/";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/share/apdesk/parameters/";
  return {};
}

SnapshotStore::SnapshotStore(std::string folder) : m_folder(std::move(folder)) {
  if (!m_folder.empty() && m_folder.back() != '/') m_folder += '/';
}

bool SnapshotStore::Store(const Parameters& p, FileNotes notes, std::string* path, std::string* error) const {
  if (m_folder.empty()) {
    *error = "there is no folder for the parameter history (neither XDG_DATA_HOME nor HOME is set)";
    return false;
  }
  if (!MakeFolders(m_folder.substr(0, m_folder.size() - 1), error)) return false;
  if (notes.time.empty()) notes.time = UtcTimeNow();
  // The time to the millisecond sorts the names; a number keeps two in the
  // same millisecond apart.
  const auto now = std::chrono::system_clock::now();
  const long long ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::string stamp = notes.time;
  stamp.erase(std::remove_if(stamp.begin(), stamp.end(), [](char c) { return c == '-' || c == ':'; }),
              stamp.end());
  if (!stamp.empty() && stamp.back() == 'Z') stamp.pop_back();
  char msText[8];
  std::snprintf(msText, sizeof msText, "%03lld", ms);
  const std::string base = stamp + "." + msText + "-" + FileWord(notes.write);
  std::string candidate = m_folder + base + kSuffix;
  for (int n = 2; access(candidate.c_str(), F_OK) == 0 && n < 1000; ++n)
    candidate = m_folder + base + "-" + std::to_string(n) + kSuffix;
  if (!WriteWholeFile(candidate, FormatParameterFile(p, notes), error, kOwnFileRules)) {
    *error = "the snapshot cannot be stored: " + *error;
    return false;
  }
  if (path) *path = candidate;
  return true;
}

std::vector<SnapshotEntry> SnapshotStore::List(long long now) const {
  if (now == 0) now = static_cast<long long>(std::time(nullptr));
  std::vector<SnapshotEntry> out;
  DIR* dir = m_folder.empty() ? nullptr : opendir(m_folder.c_str());
  if (!dir) return out;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    const std::size_t suffix = std::strlen(kSuffix);
    if (name.size() <= suffix || name.compare(name.size() - suffix, suffix, kSuffix) != 0) continue;
    if (name.rfind(kDefaultsName, 0) == 0) continue;
    SnapshotEntry entry{m_folder + name, name, {}, {}, false};
    std::string text, why;
    ParameterFile file;
    // Only a regular file of a snapshot's size: a pipe or a link to a device
    // put here would otherwise hold the reader for ever.
    RegularFileOptions options;
    options.maxBytes = kMaxSnapshotBytes;
    options.noFollow = true;
    if (ReadRegularFile(entry.path, options, &text, &why) != FileOpen::Ok) {
      if (e->d_type == DT_DIR) continue;
      entry.damage = why;
    } else if (!ParseParameterFile(text, &file, &why)) {
      entry.damage = why;
    }
    // A damaged file may still have its notes above the damage.
    entry.notes = file.notes;
    const std::optional<long long> when = ParseUtcTime(entry.notes.time);
    // A minute of grace for clocks that differ a little.
    entry.future = when && *when > now + 60;
    out.push_back(std::move(entry));
  }
  closedir(dir);
  // By the time written inside (the same form sorts as text), newest first;
  // those dated ahead of the clock and those without a time after the rest.
  std::sort(out.begin(), out.end(), [](const SnapshotEntry& a, const SnapshotEntry& b) {
    const bool aTimed = ParseUtcTime(a.notes.time).has_value(),
               bTimed = ParseUtcTime(b.notes.time).has_value();
    const int aRank = a.future ? 1 : aTimed ? 0 : 2, bRank = b.future ? 1 : bTimed ? 0 : 2;
    if (aRank != bRank) return aRank < bRank;
    if (a.notes.time != b.notes.time) return a.notes.time > b.notes.time;
    if (a.damage.empty() != b.damage.empty()) return a.damage.empty();
    return a.name > b.name;
  });
  return out;
}

bool SnapshotStore::Find(const std::string& name, SnapshotEntry* entry, std::string* error) const {
  for (SnapshotEntry& e : List()) {
    if (e.name == name || e.path == name || e.name == name + kSuffix) {
      if (!e.damage.empty()) {
        *error = "the snapshot \"" + QuotedInput(e.name) + "\" in " + m_folder + " is damaged (" + e.damage +
                 "), so it is not restored";
        return false;
      }
      *entry = std::move(e);
      return true;
    }
  }
  *error = "there is no snapshot \"" + QuotedInput(name) + "\" in " + m_folder +
           " (apctl params history lists them)";
  return false;
}

std::string SnapshotStore::DefaultsPath() const {
  return m_folder + kDefaultsName + kSuffix;
}

bool SnapshotStore::StoreDefaults(const Parameters& p, std::string* error) const {
  if (m_folder.empty()) {
    *error = "there is no folder for the parameter history (neither XDG_DATA_HOME nor HOME is set)";
    return false;
  }
  if (!MakeFolders(m_folder.substr(0, m_folder.size() - 1), error)) return false;
  FileNotes notes;
  notes.time = UtcTimeNow();
  notes.write = "the controller's defaults";
  return WriteWholeFile(DefaultsPath(), FormatParameterFile(p, notes), error, kOwnFileRules);
}

}  // namespace apdesk
