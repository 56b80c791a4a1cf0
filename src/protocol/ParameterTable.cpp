#include "protocol/ParameterTable.h"

#include <cstdio>

#include "protocol/SentenceParser.h"

namespace apdesk {

namespace {

constexpr ParameterChoice kFailSafe[] = {
    {80, "return-land", "LID_PUB_FS0"},
    {81, "land", "LID_PUB_FS1"},
    {82, "hover", "LID_PUB_FS2"},
};
constexpr ParameterChoice kServo[] = {
    {0, "50", nullptr}, {1, "250", nullptr}, {2, "333", nullptr}, {3, "400", nullptr}};
// The window's list ends with "user-defined", which shows the speed field.
constexpr ParameterChoice kMaxSpeed[] = {
    {90, "3.6", nullptr},  {120, "4.8", nullptr},  {150, "6.0", nullptr},
    {200, "8.0", nullptr}, {255, "10.2", nullptr},
};
constexpr ParameterChoice kVertical[] = {{100, "2", nullptr}, {200, "4", nullptr}, {250, "5", nullptr}};
constexpr ParameterChoice kVolt[] = {
    {0, "3.55", nullptr}, {1, "3.60", nullptr}, {2, "3.65", nullptr}, {3, "3.70", nullptr}};
// List index = code for 0-8; the tenth entry, "other", writes code 10.
constexpr ParameterChoice kAircraft[] = {
    {0, "quad-cross", "LID_PUB_PLANETYPE4A10"},
    {1, "quad-x", "LID_PUB_PLANETYPE4AX"},
    {2, "hex-cross", "LID_PUB_PLANETYPE6A10"},
    {3, "hex-x", "LID_PUB_PLANETYPE6AX"},
    {4, nullptr, nullptr},
    {5, nullptr, nullptr},
    {6, nullptr, nullptr},
    {7, nullptr, nullptr},
    {8, nullptr, nullptr},
    {10, nullptr, nullptr},
};

using E = ParameterEncoding;
using Id = ParameterId;

// clang-format off
constexpr ParameterFacts kTable[kParameterCount] = {
    // id, name, sentence, block, mask, shift, encoding, scale, lowest, highest, texts, choices, other codes,
    // unit, label, list, edit, description
    {Id::FailSafe, "failsafe", 7, 0, 0xFF, 0, E::Choice, 1, 0, 0, "", "", kFailSafe, nullptr,
     nullptr, 1241, 1163, 0, "LID_DESC_FAILSAFE"},
    {Id::SwayCompensation, "sway_compensation", 33, 1, 0xFF, 0, E::Number, 1, 0, 255, "0", "255", {}, nullptr,
     nullptr, 1243, 0, 1156, "LID_DESC_SWAY"},
    {Id::RollSensitivity, "roll_sensitivity", 38, 2, 0xFF, 0, E::Number, 1, 0, 255, "0", "255", {}, nullptr,
     nullptr, 1232, 0, 1140, "LID_DESC_ROLL"},
    {Id::PitchSensitivity, "pitch_sensitivity", 24, 11, 0xFF, 0, E::Number, 1, 0, 255, "0", "255", {}, nullptr,
     nullptr, 1251, 0, 1154, "LID_DESC_PITCH"},
    {Id::GimbalRoll, "gimbal_roll_sensitivity", 17, 12, 0xFF, 0, E::Signed, 1, -127, 128, "-127", "128", {},
     nullptr, nullptr, 1234, 0, 1144, "LID_DESC_GIMBAL_ROLL"},
    {Id::GimbalPitch, "gimbal_pitch_sensitivity", 23, 13, 0xFF, 0, E::Signed, 1, -127, 128, "-127", "128", {},
     nullptr, nullptr, 1244, 0, 1157, "LID_DESC_GIMBAL_PITCH"},
    {Id::ServoFrequency, "servo_frequency", 43, 18, 0xC0, 6, E::Choice, 1, 0, 0, "", "", kServo, nullptr,
     "LID_UNIT_HZ", 1252, 1155, 0, "LID_DESC_SERVO"},
    {Id::MaxSpeed, "max_speed", 32, 15, 0xFF, 0, E::Speed, 1, 0, 255, "0", "10.2", kMaxSpeed, nullptr,
     "LID_PUB_MS", 1238, 1139, 1158, "LID_DESC_MAX_SPEED"},
    {Id::VerticalSpeed, "vertical_speed", 9, 19, 0xFF, 0, E::Choice, 1, 0, 0, "", "", kVertical, nullptr,
     "LID_PUB_MS", 1246, 1160, 0, "LID_DESC_VERTICAL_SPEED"},
    {Id::VoltAlert, "volt_alert", 43, 18, 0x0C, 2, E::Choice, 1, 0, 0, "", "", kVolt, nullptr,
     "LID_PUB_V", 1248, 1016, 0, "LID_DESC_VOLT_ALERT"},
    {Id::CellCount, "cell_count", 5, 6, 0x0F, 0, E::Number, 1, 0, 15, "0", "15", {}, nullptr,
     nullptr, 1245, 0, 1149, "LID_DESC_CELLS"},
    {Id::AltitudeLimit, "altitude_limit", 25, 16, 0xFF, 0, E::Number, 10, 0, 1500, "0", "1500", {}, nullptr,
     "LID_UNIT_M", 1249, 0, 1150, "LID_DESC_ALTITUDE"},
    {Id::DistanceLimit, "distance_limit", 28, 17, 0xFF, 0, E::Number, 10, 0, 1500, "0", "1500", {}, nullptr,
     "LID_UNIT_M", 1247, 0, 1151, "LID_DESC_DISTANCE"},
    {Id::AircraftType, "aircraft_type", 34, 9, 0xFF, 0, E::Choice, 1, 0, 0, "", "", kAircraft,
     "a code 0 to 8 or 10", nullptr, 1237, 1159, 1153, "LID_DESC_AIRCRAFT"},
};
// clang-format on

// The table is indexed by id.
constexpr bool TableInIdOrder() {
  for (std::size_t i = 0; i < kParameterCount; ++i)
    if (static_cast<std::size_t>(kTable[i].id) != i) return false;
  return true;
}
static_assert(TableInIdOrder());

// Each parameter's block byte carries its own sentence byte.
constexpr bool BytesAgree() {
  for (const ParameterFacts& p : kTable)
    if (kBlockFromSentence[p.blockByte] != p.sentenceByte) return false;
  return true;
}
static_assert(BytesAgree());

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A speed code in m/s, exact: code / 25 has at most two decimals.
std::string SpeedText(int code) {
  char text[16];
  std::snprintf(text, sizeof text, (code * 4) % 10 == 0 ? "%.1f" : "%.2f", code / 25.0);
  return text;
}

// "3.6" and "3.60" name the same choice; other texts must match the word.
bool SameWord(std::string_view text, std::string_view word) {
  if (text == word) return true;
  if (word.find('.') == std::string_view::npos || text.find('.') == std::string_view::npos) return false;
  auto cut = [](std::string_view t) {
    while (!t.empty() && t.back() == '0') t.remove_suffix(1);
    return t;
  };
  return cut(text) == cut(word);
}

std::string CodeWord(int code) {
  return "code:" + std::to_string(code);
}

}  // namespace

std::span<const ParameterFacts> ParameterTable() {
  return kTable;
}

const ParameterFacts& FactsOf(ParameterId id) {
  return kTable[static_cast<std::size_t>(id)];
}

const ParameterFacts* FindParameter(std::string_view name) {
  for (const ParameterFacts& p : kTable)
    if (name == p.name) return &p;
  return nullptr;
}

std::optional<Parameters> DecodeParameters(const std::uint8_t* s) {
  if (!SumHolds(s, kParameterSentenceLength)) return std::nullopt;
  Parameters p;
  for (std::size_t i = 0; i < p.sentence.size(); ++i) p.sentence[i] = s[i];
  for (const ParameterFacts& facts : kTable)
    p.SetCode(facts.id, (s[facts.sentenceByte] & facts.mask) >> facts.shift);
  return p;
}

ParameterBlock EncodeParameters(const Parameters& p) {
  ParameterBlock b{};
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = p.sentence[kBlockFromSentence[i]];
  for (const ParameterFacts& facts : kTable) {
    std::uint8_t& byte = b[facts.blockByte];
    const int bits = (p.Code(facts.id) << facts.shift) & facts.mask;
    byte = static_cast<std::uint8_t>((byte & ~facts.mask) | bits);
  }
  return b;
}

ParameterSentence SentenceAfterBlock(const ParameterSentence& before, const ParameterBlock& block) {
  ParameterSentence s = before;
  for (std::size_t i = 0; i < block.size(); ++i) s[kBlockFromSentence[i]] = block[i];
  s[s.size() - 1] = ByteSum(s.data(), s.size() - 1);
  return s;
}

int GimbalFromByte(std::uint8_t b) {
  return b > 128 ? b - 256 : b;
}

std::string FormatParameterValue(const ParameterFacts& facts, int code) {
  switch (facts.encoding) {
    case E::Number:
      return std::to_string(code * facts.scale);
    case E::Signed:
      return std::to_string(GimbalFromByte(static_cast<std::uint8_t>(code)));
    case E::Speed:
      for (const ParameterChoice& c : facts.choices)
        if (c.code == code) return c.word;
      return SpeedText(code);
    case E::Choice:
      break;
  }
  for (const ParameterChoice& c : facts.choices)
    if (c.code == code && c.word) return c.word;
  return facts.otherCodes ? std::to_string(code) : CodeWord(code);
}

std::string AllowedValues(const ParameterFacts& facts) {
  if (facts.encoding != E::Choice) return std::string(facts.lowestText) + " to " + facts.highestText;
  std::string list;
  std::size_t named = 0;
  for (const ParameterChoice& c : facts.choices) named += c.word ? 1 : 0;
  std::size_t i = 0;
  for (const ParameterChoice& c : facts.choices) {
    if (!c.word) continue;
    if (i > 0) list += i + 1 == named ? " or " : ", ";
    list += c.word;
    ++i;
  }
  if (facts.otherCodes) list += std::string(" or ") + facts.otherCodes;
  return list;
}

std::optional<int> ParseParameterValue(const ParameterFacts& facts, std::string_view text, int keptCode,
                                       std::string* why) {
  const std::string quoted = "\"" + QuotedInput(text) + "\" is not ";
  switch (facts.encoding) {
    case E::Number:
    case E::Signed: {
      const std::optional<long long> v = ParseInteger(text);
      if (!v || *v < facts.lowest || *v > facts.highest) break;
      return facts.encoding == E::Signed ? static_cast<int>(*v & 0xFF) : static_cast<int>(*v / facts.scale);
    }
    case E::Speed:
      if (const std::optional<int> code = ParseUserSpeedCode(text)) return *code;
      break;
    case E::Choice: {
      for (const ParameterChoice& c : facts.choices)
        if (c.word && SameWord(text, c.word)) return c.code;
      const std::optional<long long> number = ParseInteger(text);
      if (facts.otherCodes && number) {
        for (const ParameterChoice& c : facts.choices)
          if (c.code == *number) return c.code;
        if (*number == keptCode) return keptCode;  // a code no entry gives back, left as it is
      } else if (!facts.otherCodes && text == CodeWord(keptCode)) {
        return keptCode;
      }
      *why = quoted + AllowedValues(facts);
      return std::nullopt;
    }
  }
  *why = quoted + "a number from " + AllowedValues(facts);
  return std::nullopt;
}

std::optional<long long> ParseInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    if (value > 100000000000000000LL) return std::nullopt;  // far beyond any field's range
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

std::optional<int> ParseUserSpeedCode(std::string_view text) {
  // Decimal all the way: 10.2 x 25 must give 255, which binary 10.2 does not.
  constexpr long long kScale = 1000000000;  // nine decimals are kept; more only decide "above 10.2"
  constexpr long long kHighest = 10200000000LL;
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  long long whole = 0;
  long long fraction = 0;
  long long fractionScale = kScale;
  bool anyDigit = false;
  bool beyond = false;  // a non-zero digit past the ninth decimal
  bool point = false;
  for (char c : text) {
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (!IsDigit(c)) return std::nullopt;
    anyDigit = true;
    const int d = c - '0';
    if (!point) {
      if (whole > 1000) return std::nullopt;  // far above 10.2
      whole = whole * 10 + d;
    } else if (fractionScale > 1) {
      fractionScale /= 10;
      fraction += d * fractionScale;
    } else if (d != 0) {
      beyond = true;
    }
  }
  if (!anyDigit) return std::nullopt;
  const long long scaled = whole * kScale + fraction;
  if (negative && (scaled != 0 || beyond)) return std::nullopt;
  if (scaled > kHighest || (scaled == kHighest && beyond)) return std::nullopt;
  // Truncating the dropped decimals cannot change the result: the code steps
  // at multiples of 0.04, which need only two decimals.
  return static_cast<int>(scaled * 25 / kScale);
}

std::string QuotedInput(std::string_view text) {
  constexpr std::size_t kLongest = 60;
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < kLongest; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      static const char* kHex = "0123456789abcdef";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  if (text.size() > kLongest) out += "...";
  return out;
}

}  // namespace apdesk
