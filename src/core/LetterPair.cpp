#include "core/LetterPair.h"

namespace apdesk {

std::string EncodeLetterPairs(const std::uint8_t* data, std::size_t n) {
  std::string text;
  if (data == nullptr) return text;
  text.reserve(n * 2);
  for (std::size_t i = 0; i < n; ++i) {
    text.push_back(static_cast<char>('A' + (data[i] & 0x0F)));
    text.push_back(static_cast<char>('A' + (data[i] >> 4)));
  }
  return text;
}

std::vector<std::uint8_t> DecodeLetterPairs(std::string_view text) {
  const std::size_t count = text.size() / 2;
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned low = static_cast<unsigned char>(text[2 * i]) - 'A';
    const unsigned high = static_cast<unsigned char>(text[2 * i + 1]) - 'A';
    bytes[i] = static_cast<std::uint8_t>((low + 16u * high) & 0xFFu);
  }
  return bytes;
}

}  // namespace apdesk
