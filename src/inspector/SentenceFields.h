#pragma once
// A sentence as the link inspector shows it: its bytes in hex and the fields
// it carries, named, as text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/SentenceParser.h"

namespace apdesk {

struct SentenceField {
  std::string name;
  std::string value;
};

// "24 53 54 50 ..." with a line break after every `perLine` bytes (0: none).
std::string HexText(const std::uint8_t* bytes, std::size_t length, std::size_t perLine = 0);

// The fields of a sentence of `tag`, first its sum where it has one. A
// sentence shorter than its tag's length gives only its length.
std::vector<SentenceField> DescribeSentence(SentenceTag tag, const std::uint8_t* bytes, std::size_t length);

}  // namespace apdesk
