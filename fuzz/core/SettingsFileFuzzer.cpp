// A settings file of any content, read and then changed by one write through
// the settings store, as the program does. Checked for every input:
//  - a write either fails and leaves the file byte for byte as it was, or
//    succeeds exactly when the in-memory writer accepts the same key;
//  - a successful write changes at most one line's content (plus what it
//    inserts), and gives the same text as the in-memory writer;
//  - every other key looked up before the write reads the same after it;
//  - the written key reads back as written (string, integer or binary);
//  - letter-pair decoding gives half as many bytes as letters, reads only
//    inside the value (an exact-size copy, for AddressSanitizer) and undoes
//    the encoder on letters "A" to "P".

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../FuzzFile.h"
#include "core/IniFile.h"
#include "core/LetterPair.h"
#include "core/SettingsStore.h"

namespace {

using apdesk::IniFile;
using apdesk::SettingsStore;

// The default given to lookups, so an absent key shows.
const char* const kAbsent = "\x01(absent)";

struct Name {
  std::string section;
  std::string key;
};

bool Blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Stripped(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
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

// What a lookup gives for a stored value: trimmed, one pair of enclosing
// quotes taken off.
std::string AsRead(std::string_view v) {
  v = Stripped(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return std::string(v);
}

// Names to look up: the program's own keys and whatever the file seems to
// hold, so lookups hit real sections and keys.
std::vector<Name> Probes(std::string_view text) {
  std::vector<Name> names = {{"Settings1", "COMPORT"}, {"Settings1", "COMCONF"}, {"HANDMODE", "HandValue"}};
  std::string section;
  std::size_t pos = 0;
  while (pos < text.size() && names.size() < 12) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    const std::string_view line = Stripped(text.substr(pos, nl - pos));
    pos = nl + 1;
    if (!line.empty() && line.front() == '[') {
      const std::size_t close = line.find(']');
      section = std::string(Stripped(line.substr(1, close == std::string_view::npos ? 0 : close - 1)));
    } else if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
      names.push_back({section, std::string(Stripped(line.substr(0, eq)))});
    }
  }
  return names;
}

void CheckLetterPairs(const std::string& value) {
  // An exact-size heap copy: a read past the value is an overflow.
  const std::size_t n = value.size();
  std::unique_ptr<char[]> copy(new char[n == 0 ? 1 : n]);
  for (std::size_t i = 0; i < n; ++i) copy[i] = value[i];
  const std::vector<std::uint8_t> bytes = apdesk::DecodeLetterPairs(std::string_view(copy.get(), n));
  FUZZ_CHECK(bytes.size() == n / 2);
  bool letters = true;
  for (std::size_t i = 0; i < 2 * (n / 2); ++i) letters = letters && value[i] >= 'A' && value[i] <= 'P';
  if (letters)
    FUZZ_CHECK(apdesk::EncodeLetterPairs(bytes.data(), bytes.size()) == value.substr(0, 2 * (n / 2)));
}

// Apart from an inserted part, old and new text differ inside one line.
void CheckOneLineChanged(const std::string& before, const std::string& after) {
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
    ++suffix;
  const std::string_view removed = std::string_view(before).substr(prefix, before.size() - prefix - suffix);
  FUZZ_CHECK(removed.find('\n') == std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const apdesk::fuzz::ScratchFile file("MPCFG.ini");
  FuzzedDataProvider input(data, size);
  const unsigned kind = input.ConsumeIntegralInRange<unsigned>(0, 2);
  const unsigned target = input.ConsumeIntegral<std::uint8_t>();
  const int number = input.ConsumeIntegral<int>();
  const std::string value = input.ConsumeRandomLengthString(120);
  const std::string ownName = input.ConsumeRandomLengthString(16);
  const std::string before = input.ConsumeRemainingBytesAsString();
  file.Write(before.data(), before.size());

  SettingsStore store(file.Path());
  // A file that is no settings file (binary bytes and no [section] line) is
  // neither read nor written.
  IniFile loaded;
  const bool usable = IniFile::Load(file.Path(), loaded, nullptr) != IniFile::LoadResult::Unreadable;
  const std::vector<Name> probes = Probes(before);
  std::vector<std::optional<std::string>> found;
  const IniFile parsed(before);
  for (const Name& p : probes) {
    const std::string read = store.GetSettingString(p.section, p.key, kAbsent);
    found.push_back(usable ? parsed.Get(p.section, p.key) : std::nullopt);
    FUZZ_CHECK(found.back() ? read == *found.back() : read == kAbsent);
    if (found.back()) {
      CheckLetterPairs(*found.back());
      const auto binary = store.GetSettingBinary(p.section, p.key);
      FUZZ_CHECK(binary.has_value() == (found.back()->size() >= 2));
    }
    (void)store.GetSettingInt(p.section, p.key, 0);
  }

  // The written key: one the file holds, or a name of the input's own.
  Name written = probes[target % probes.size()];
  if (target & 0x80) written.key = ownName;
  const std::vector<std::uint8_t> blob(value.begin(), value.end());
  std::string stored;
  bool ok = false;
  switch (kind) {
    case 0:
      stored = value;
      ok = store.WriteSettingString(written.section, written.key, value);
      break;
    case 1:
      stored = std::to_string(number);
      ok = store.WriteSettingInt(written.section, written.key, number);
      break;
    default:
      stored = apdesk::EncodeLetterPairs(blob.data(), blob.size());
      ok = store.WriteSettingBinary(written.section, written.key, blob.data(), blob.size());
      break;
  }
  IniFile expected(before);
  FUZZ_CHECK(ok == (usable && expected.Set(written.section, written.key, stored)));
  const std::string after = file.Read();
  if (!ok) {
    FUZZ_CHECK(after == before);
    return 0;
  }
  FUZZ_CHECK(after == expected.Text());
  CheckOneLineChanged(before, after);

  for (std::size_t i = 0; i < probes.size(); ++i) {
    if (SameName(probes[i].section, written.section) && SameName(probes[i].key, written.key)) continue;
    const std::string read = store.GetSettingString(probes[i].section, probes[i].key, kAbsent);
    FUZZ_CHECK(read == found[i].value_or(kAbsent));
  }
  FUZZ_CHECK(store.GetSettingString(written.section, written.key, kAbsent) == AsRead(stored));
  switch (kind) {
    case 0:
      break;
    case 1:
      FUZZ_CHECK(store.GetSettingInt(written.section, written.key, number ^ 1) == number);
      break;
    default: {
      const auto back = store.GetSettingBinary(written.section, written.key);
      FUZZ_CHECK(blob.empty() ? !back.has_value() : back == blob);
      break;
    }
  }
  return 0;
}
