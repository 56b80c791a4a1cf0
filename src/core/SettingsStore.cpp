#include "core/SettingsStore.h"

#include <climits>
#include <string>

#include "core/IniFile.h"
#include "core/LetterPair.h"

namespace apdesk {

std::optional<int> ParseSettingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  long long v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v < INT_MIN || v > INT_MAX) return std::nullopt;
  return static_cast<int>(v);
}

void SettingsStore::Report(const std::string& why) const {
  if (m_reported || !m_reporter) return;
  m_reported = true;
  m_reporter("The settings file " + m_path + " cannot be used (" + why +
             "): the settings are not read from it, and changes are not saved.");
}

std::optional<std::string> SettingsStore::Read(std::string_view section, std::string_view key) const {
  IniFile ini;
  std::string why;
  const IniFile::LoadResult loaded = IniFile::Load(m_path, ini, &why);
  if (loaded == IniFile::LoadResult::Unreadable) Report(why);
  if (loaded != IniFile::LoadResult::Ok) return std::nullopt;
  return ini.Get(section, key);
}

std::string SettingsStore::GetSettingString(std::string_view section, std::string_view key,
                                            std::string_view def) const {
  std::optional<std::string> v = Read(section, key);
  return v ? std::move(*v) : std::string(def);
}

bool SettingsStore::WriteSettingString(std::string_view section, std::string_view key,
                                       std::string_view value) {
  IniFile ini;
  // A file we could not read is left alone rather than replaced by one key.
  std::string why;
  if (IniFile::Load(m_path, ini, &why) == IniFile::LoadResult::Unreadable) {
    Report(why);
    return false;
  }
  if (!ini.Set(section, key, value)) return false;
  return ini.Save(m_path);
}

int SettingsStore::GetSettingInt(std::string_view section, std::string_view key, int def) const {
  const std::optional<std::string> v = Read(section, key);
  if (!v) return def;
  const std::optional<int> n = ParseSettingInt(*v);
  return n ? *n : def;
}

bool SettingsStore::WriteSettingInt(std::string_view section, std::string_view key, int value) {
  return WriteSettingString(section, key, std::to_string(value));
}

std::optional<std::vector<std::uint8_t>> SettingsStore::GetSettingBinary(std::string_view section,
                                                                         std::string_view key) const {
  const std::optional<std::string> v = Read(section, key);
  if (!v) return std::nullopt;
  std::vector<std::uint8_t> bytes = DecodeLetterPairs(*v);
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

bool SettingsStore::WriteSettingBinary(std::string_view section, std::string_view key,
                                       const std::uint8_t* data, std::size_t n) {
  return WriteSettingString(section, key, EncodeLetterPairs(data, n));
}

}  // namespace apdesk
