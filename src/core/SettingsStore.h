#pragma once
// The settings file: string, integer and letter-pair binary values by
// section and key. Every call reads (and a write rewrites) the file anew, so
// two programs sharing it see each other's last write. A missing file or key
// gives the default; a failed write returns false and changes nothing.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace apdesk {

class SettingsStore {
 public:
  explicit SettingsStore(std::string iniPath) : m_path(std::move(iniPath)) {}

  const std::string& Path() const { return m_path; }

  // Called once, the first time the file turns out to be unusable (a folder,
  // a pipe, over the size limit, unreadable), with a sentence saying so;
  // the defaults stand in for its values and nothing is written to it.
  using ProblemReporter = std::function<void(const std::string& text)>;
  void SetProblemReporter(ProblemReporter reporter) { m_reporter = std::move(reporter); }

  std::string GetSettingString(std::string_view section, std::string_view key,
                               std::string_view def = {}) const;
  bool WriteSettingString(std::string_view section, std::string_view key, std::string_view value);

  // The value's leading decimal number (optional sign); the default when the
  // key is absent, holds no number or one outside the int range.
  int GetSettingInt(std::string_view section, std::string_view key, int def) const;
  bool WriteSettingInt(std::string_view section, std::string_view key, int value);

  // Nothing when the key is absent or holds no whole letter pair.
  std::optional<std::vector<std::uint8_t>> GetSettingBinary(std::string_view section,
                                                            std::string_view key) const;
  bool WriteSettingBinary(std::string_view section, std::string_view key, const std::uint8_t* data,
                          std::size_t n);

 private:
  std::optional<std::string> Read(std::string_view section, std::string_view key) const;

  void Report(const std::string& why) const;

  std::string m_path;
  ProblemReporter m_reporter;
  mutable bool m_reported = false;
};

// Exposed for the tests: the integer rule of GetSettingInt on one value.
std::optional<int> ParseSettingInt(std::string_view text);

}  // namespace apdesk
