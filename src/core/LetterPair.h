#pragma once
// Binary settings values are stored as text: two capital letters per byte,
// low nibble first ("A" + nibble), so the byte 0x34 becomes "ED".

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace apdesk {

std::string EncodeLetterPairs(const std::uint8_t* data, std::size_t n);

// Half as many bytes as letters. Letters are not validated: each byte is
// (first - 'A') + 16 * (second - 'A') modulo 256. An odd last letter has no
// partner and is ignored.
std::vector<std::uint8_t> DecodeLetterPairs(std::string_view text);

}  // namespace apdesk
