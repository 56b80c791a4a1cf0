#pragma once
// Choosing and decoding the language: the locale test, and language-file
// bytes turned into UTF-8 for display.

#include <string>
#include <string_view>

namespace apdesk {

// The first of LC_ALL, LC_MESSAGES, LANG that is set and not empty starts
// with "zh_CN".
bool IsChineseLocaleFromEnv();

// Valid UTF-8 stays as it is; otherwise the bytes are GBK (Chinese.ini) or
// Windows-1252 (Default.ini). Bytes that do not decode become U+FFFD.
std::string DecodeLanguageText(std::string_view bytes, bool chineseFile);

}  // namespace apdesk
