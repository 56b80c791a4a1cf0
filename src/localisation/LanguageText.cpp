#include "localisation/LanguageText.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "localisation/LanguageFile.h"

namespace apdesk {

bool IsChineseLocaleFromEnv() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && v[0] != '\0') return std::strncmp(v, "zh_CN", 5) == 0;
  }
  return false;
}

std::string DecodeLanguageText(std::string_view bytes, bool chineseFile) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  std::string out;
  iconv_t cd = ::iconv_open("UTF-8", chineseFile ? "GBK" : "WINDOWS-1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter: show the ASCII and mark the rest.
    for (char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80)
        out.push_back(c);
      else
        out += kReplacement;
    }
    return out;
  }
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char buf[1024];
  while (inLeft > 0) {
    char* o = buf;
    std::size_t oLeft = sizeof buf;
    const std::size_t r = ::iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf, static_cast<std::size_t>(o - buf));
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // A byte that starts no character (or a cut-off one at the end): mark it
    // and go on after it.
    out += kReplacement;
    ++in;
    --inLeft;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  ::iconv_close(cd);
  return out;
}

}  // namespace apdesk
