// A language file of any content, read from disk a few sections at a time as
// the language manager does, with and without GBK stepping. Checked for every
// input:
//  - reading the file gives what scanning its bytes gives;
//  - no key or value holds a line end or white space at either end, no key
//    holds "=", and no value holds "//" after its first character unless it
//    begins with "//" (all counted in whole characters under GBK);
//  - IsValidUtf8 agrees with a validator written from the UTF-8 table;
//  - DecodeLanguageText gives valid UTF-8 for both file kinds, and leaves
//    text that already is UTF-8 as it is;
//  - ControlIdFromKey agrees with strtoll clamped to 32 bits.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "../FuzzFile.h"
#include "localisation/LanguageFile.h"
#include "localisation/LanguageText.h"

namespace {

bool Space(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Where each character starts: under GBK a byte 0x81-0xFE with a byte after
// it starts a character of two.
std::vector<std::size_t> CharStarts(std::string_view s, bool gbk) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < s.size();) {
    starts.push_back(i);
    const unsigned char c = static_cast<unsigned char>(s[i]);
    i += (gbk && c >= 0x81 && c <= 0xFE && i + 1 < s.size()) ? 2 : 1;
  }
  return starts;
}

bool SingleByteAt(std::string_view s, const std::vector<std::size_t>& starts, std::size_t k) {
  const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : s.size();
  return end - starts[k] == 1;
}

void CheckEntry(std::string_view key, std::string_view value, bool gbk) {
  FUZZ_CHECK(key.find('\n') == std::string_view::npos);
  FUZZ_CHECK(value.find('\n') == std::string_view::npos);
  for (std::string_view s : {key, value}) {
    if (s.empty()) continue;
    const std::vector<std::size_t> starts = CharStarts(s, gbk);
    FUZZ_CHECK(!Space(s.front()));
    FUZZ_CHECK(!(SingleByteAt(s, starts, starts.size() - 1) && Space(s[starts.back()])));
  }
  const std::vector<std::size_t> keyStarts = CharStarts(key, gbk);
  for (std::size_t k = 0; k < keyStarts.size(); ++k)
    FUZZ_CHECK(!(SingleByteAt(key, keyStarts, k) && key[keyStarts[k]] == '='));
  if (value.substr(0, 2) == "//") return;
  const std::vector<std::size_t> valueStarts = CharStarts(value, gbk);
  for (std::size_t k = 1; k < valueStarts.size(); ++k) {
    const std::size_t i = valueStarts[k];
    FUZZ_CHECK(!(SingleByteAt(value, valueStarts, k) && value[i] == '/' && i + 1 < value.size() &&
                 value[i + 1] == '/'));
  }
}

// Well-formed UTF-8 by the table of byte ranges.
bool WellFormedUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    unsigned char lo = 0x80, hi = 0xBF;
    std::size_t more = 0;
    if (b <= 0x7F) {
      more = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      more = 1;
    } else if (b == 0xE0) {
      more = 2, lo = 0xA0;
    } else if (b == 0xED) {
      more = 2, hi = 0x9F;
    } else if (b >= 0xE1 && b <= 0xEF) {
      more = 2;
    } else if (b == 0xF0) {
      more = 3, lo = 0x90;
    } else if (b >= 0xF1 && b <= 0xF3) {
      more = 3;
    } else if (b == 0xF4) {
      more = 3, hi = 0x8F;
    } else {
      return false;
    }
    if (s.size() - i - 1 < more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      const unsigned char c = static_cast<unsigned char>(s[i + k]);
      if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return false;
    }
    i += more + 1;
  }
  return true;
}

void CheckText(const std::string& bytes) {
  for (bool chinese : {false, true}) {
    const std::string text = apdesk::DecodeLanguageText(bytes, chinese);
    FUZZ_CHECK(WellFormedUtf8(text));
    if (WellFormedUtf8(bytes)) FUZZ_CHECK(text == bytes);
  }
  const std::string copy = bytes;  // NUL-terminated for strtoll
  long long expected = std::strtoll(copy.c_str(), nullptr, 10);
  if (expected > INT_MAX) expected = INT_MAX;
  if (expected < INT_MIN) expected = INT_MIN;
  FUZZ_CHECK(apdesk::ControlIdFromKey(bytes) == expected);
}

bool SameSection(const apdesk::LanguageSection& a, const apdesk::LanguageSection& b) {
  return a.keys == b.keys && a.values == b.values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const apdesk::fuzz::ScratchFile file("Default.ini");
  FuzzedDataProvider input(data, size);
  const std::string ownSection = input.ConsumeRandomLengthString(16);
  const std::string text = input.ConsumeRemainingBytesAsString();
  file.Write(text.data(), text.size());

  const bool utf8 = WellFormedUtf8(text);
  FUZZ_CHECK(apdesk::IsValidUtf8(text) == utf8);
  FUZZ_CHECK(apdesk::IsValidUtf8(ownSection) == WellFormedUtf8(ownSection));

  std::vector<std::string> sections = {"public", "parameter", "flyhint", "upgrade", ownSection};
  // The first headers of the file as well, so the scan finds sections; and
  // each line through the UTF-8 test, as a whole file is seldom valid.
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    const std::string_view raw = std::string_view(text).substr(pos, nl - pos);
    FUZZ_CHECK(apdesk::IsValidUtf8(raw) == WellFormedUtf8(raw));
    const std::string_view line = apdesk::TrimLanguageLine(raw, true);
    if (!line.empty() && line.front() == '[' && sections.size() < 8)
      sections.push_back(apdesk::LanguageHeaderName(line, true));
    pos = nl + 1;
  }

  const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  std::set<std::string> decoded;  // each text decoded once, conversions are slow
  for (bool gbk : {false, true}) {
    const bool stepping = gbk && !utf8;
    for (const std::string& section : sections) {
      apdesk::LanguageSection read;
      FUZZ_CHECK(apdesk::ReadLanguageSection(file.Path(), section, gbk, read));
      apdesk::LanguageSection scanned;
      apdesk::ScanLanguageSection(text, section, stepping, scanned);
      FUZZ_CHECK(SameSection(read, scanned));
      FUZZ_CHECK(read.keys.size() == read.values.size());
      FUZZ_CHECK(read.keys.size() < lines);
      for (std::size_t i = 0; i < read.keys.size(); ++i) {
        CheckEntry(read.keys[i], read.values[i], stepping);
        for (const std::string* t : {&read.keys[i], &read.values[i]})
          if (decoded.insert(*t).second) CheckText(*t);
      }
    }
  }
  return 0;
}
