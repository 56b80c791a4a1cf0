#include "protocol/ParameterCodec.h"

#include <cstdint>

#include "protocol/SentenceParser.h"
#include "protocol/StatusSentence.h"

namespace apdesk {

namespace {

// Sentence offsets of the fields the tool understands.
constexpr std::size_t kCellByte = 5;
constexpr std::size_t kFailSafeByte = 7;
constexpr std::size_t kVerticalSpeedByte = 9;
constexpr std::size_t kGimbalRollByte = 17;
constexpr std::size_t kGimbalPitchByte = 23;
constexpr std::size_t kPitchByte = 24;
constexpr std::size_t kAltitudeByte = 25;
constexpr std::size_t kDistanceByte = 28;
constexpr std::size_t kMaxSpeedByte = 32;
constexpr std::size_t kSwayByte = 33;
constexpr std::size_t kAircraftTypeByte = 34;
constexpr std::size_t kRollByte = 38;
constexpr std::size_t kBitsByte = 43;  // servo frequency 7-6, volt alert 3-2

constexpr int kLimitHighest = 1500;

struct FieldInfo {
  int edit;
  int label;
  int lowest;
  int highest;
};

// Indexed by ParameterField.
constexpr FieldInfo kFields[] = {
    {1150, 1249, 0, kLimitHighest},  // AltitudeLimit
    {1151, 1247, 0, kLimitHighest},  // DistanceLimit
    {1144, 1234, -127, 128},         // GimbalRoll
    {1157, 1244, -127, 128},         // GimbalPitch
    {1140, 1232, 0, 255},            // RollSensitivity
    {1154, 1251, 0, 255},            // PitchSensitivity
    {1156, 1243, 0, 255},            // SwayCompensation
    {1158, 1238, 0, 0},              // UserSpeed: 0 to 10.2, decimal
    {1149, 1245, 0, 15},             // CellCount
};

const FieldInfo& Info(ParameterField field) {
  return kFields[static_cast<std::size_t>(field)];
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

ParameterRefusal Refuse(ParameterRefusal::Kind kind, ParameterField field) {
  ParameterRefusal r;
  r.kind = kind;
  r.field = field;
  if (field == ParameterField::UserSpeed) {
    r.lowest = "0";
    r.highest = "10.2";
  } else {
    r.lowest = std::to_string(Info(field).lowest);
    r.highest = std::to_string(Info(field).highest);
  }
  return r;
}

// The field's number when it is one within the field's range.
std::optional<int> ReadField(std::string_view text, ParameterField field) {
  const std::optional<long long> v = ParseInteger(text);
  if (!v || *v < Info(field).lowest || *v > Info(field).highest) return std::nullopt;
  return static_cast<int>(*v);
}

std::uint8_t Low8(int v) {
  return static_cast<std::uint8_t>(v & 0xFF);
}

}  // namespace

int GimbalFromByte(std::uint8_t b) {
  return b > 128 ? b - 256 : b;
}

std::optional<ParameterView> DecodeParameterSentence(const std::uint8_t* s) {
  if (!SumHolds(s, kParameterSentenceLength)) return std::nullopt;
  ParameterView v;
  for (std::size_t i = 0; i < kParameterSentenceLength; ++i) v.sentence[i] = s[i];

  v.verticalSpeedCode = s[kVerticalSpeedByte];
  for (std::size_t i = 0; i < kVerticalSpeedCodes.size(); ++i) {
    if (v.verticalSpeedCode == kVerticalSpeedCodes[i]) v.verticalSpeedIndex = static_cast<int>(i);
  }
  v.failSafeCode = s[kFailSafeByte];
  if (v.failSafeCode >= kFailSafeBase && v.failSafeCode <= kFailSafeBase + 2) {
    v.failSafeIndex = v.failSafeCode - kFailSafeBase;
  }

  v.swayCompensation = s[kSwayByte];
  v.rollSensitivity = s[kRollByte];
  v.pitchSensitivity = s[kPitchByte];
  v.cellCount = s[kCellByte] & 0x0F;
  v.swayCompensationText = std::to_string(v.swayCompensation);
  v.rollSensitivityText = std::to_string(v.rollSensitivity);
  v.pitchSensitivityText = std::to_string(v.pitchSensitivity);
  v.cellCountText = std::to_string(v.cellCount);

  v.aircraftTypeCode = s[kAircraftTypeByte];
  v.aircraftTypeCodeText = std::to_string(v.aircraftTypeCode);
  v.aircraftTypeIndex = v.aircraftTypeCode < kAircraftTypeOther ? v.aircraftTypeCode : kAircraftTypeOther;

  v.altitudeLimit = s[kAltitudeByte] * 10;
  v.distanceLimit = s[kDistanceByte] * 10;

  v.maxSpeedCode = s[kMaxSpeedByte];
  v.maxSpeedIndex = kUserDefinedSpeedIndex;
  for (std::size_t i = 0; i < kMaxSpeedCodes.size(); ++i) {
    if (v.maxSpeedCode == kMaxSpeedCodes[i]) v.maxSpeedIndex = static_cast<int>(i);
  }
  if (v.maxSpeedIndex == kUserDefinedSpeedIndex) {
    v.userSpeedShown = true;
    v.userSpeedText = FormatText("%.1f", v.maxSpeedCode / 25.0);
  }

  v.voltAlertIndex = (s[kBitsByte] >> 2) & 0x03;
  v.servoFrequencyIndex = (s[kBitsByte] >> 6) & 0x03;

  v.gimbalRoll = GimbalFromByte(s[kGimbalRollByte]);
  v.gimbalPitch = GimbalFromByte(s[kGimbalPitchByte]);
  v.gimbalRollText = std::to_string(v.gimbalRoll);
  v.gimbalPitchText = std::to_string(v.gimbalPitch);
  return v;
}

int EditControlOf(ParameterField field) {
  return Info(field).edit;
}
int LabelControlOf(ParameterField field) {
  return Info(field).label;
}

std::string_view ParameterRefusal::LanguageKey() const {
  switch (kind) {
    case Kind::ReadFirst:
      return "LID_HINT_READFIRST";
    case Kind::AltitudeLimit:
      return "LID_HINT_ALT";
    case Kind::DistanceLimit:
      return "LID_HINT_DIS";
    case Kind::Range:
      break;
  }
  return "LID_HINT_RANGE";
}

BuildResult BuildParameterBlock(const ParameterInputs& in, const ParameterSentence& kept,
                                bool haveValidSentence) {
  using Kind = ParameterRefusal::Kind;
  // Carried bytes would be zeros, not the controller's values.
  if (!haveValidSentence) return Refuse(Kind::ReadFirst, ParameterField::AltitudeLimit);

  const std::optional<int> altitude = ReadField(in.altitudeLimitText, ParameterField::AltitudeLimit);
  if (!altitude) return Refuse(Kind::AltitudeLimit, ParameterField::AltitudeLimit);
  const std::optional<int> distance = ReadField(in.distanceLimitText, ParameterField::DistanceLimit);
  if (!distance) return Refuse(Kind::DistanceLimit, ParameterField::DistanceLimit);

  const std::optional<int> gimbalRoll = ReadField(in.gimbalRollText, ParameterField::GimbalRoll);
  if (!gimbalRoll) return Refuse(Kind::Range, ParameterField::GimbalRoll);
  const std::optional<int> gimbalPitch = ReadField(in.gimbalPitchText, ParameterField::GimbalPitch);
  if (!gimbalPitch) return Refuse(Kind::Range, ParameterField::GimbalPitch);
  const std::optional<int> roll = ReadField(in.rollSensitivityText, ParameterField::RollSensitivity);
  if (!roll) return Refuse(Kind::Range, ParameterField::RollSensitivity);
  const std::optional<int> pitch = ReadField(in.pitchSensitivityText, ParameterField::PitchSensitivity);
  if (!pitch) return Refuse(Kind::Range, ParameterField::PitchSensitivity);
  const std::optional<int> sway = ReadField(in.swayCompensationText, ParameterField::SwayCompensation);
  if (!sway) return Refuse(Kind::Range, ParameterField::SwayCompensation);

  int maxSpeedCode = kept[kMaxSpeedByte];
  if (in.maxSpeedIndex >= 0 && in.maxSpeedIndex < static_cast<int>(kMaxSpeedCodes.size())) {
    maxSpeedCode = kMaxSpeedCodes[static_cast<std::size_t>(in.maxSpeedIndex)];
  } else if (in.maxSpeedIndex == kUserDefinedSpeedIndex) {
    const std::optional<int> code = ParseUserSpeedCode(in.userSpeedText);
    if (!code) return Refuse(Kind::Range, ParameterField::UserSpeed);
    maxSpeedCode = *code;
  }

  const std::optional<int> cells = ReadField(in.cellCountText, ParameterField::CellCount);
  if (!cells) return Refuse(Kind::Range, ParameterField::CellCount);

  BuiltParameters built;
  built.altitudeLimit = *altitude;
  built.distanceLimit = *distance;
  ParameterBlock& b = built.block;
  // A list without a selection leaves the controller's value as it is.
  b[0] = in.failSafeIndex < 0 ? kept[kFailSafeByte] : Low8(kFailSafeBase + in.failSafeIndex);
  b[1] = Low8(*sway);
  b[2] = Low8(*roll);
  b[3] = kept[12];
  b[4] = kept[4];
  b[5] = kept[6];
  b[6] = static_cast<std::uint8_t>((kept[kCellByte] & 0xF0) | *cells);
  b[7] = kept[42];
  b[8] = kept[27];
  if (in.aircraftTypeIndex < 0) {
    b[9] = kept[kAircraftTypeByte];
  } else {
    b[9] = Low8(in.aircraftTypeIndex == kAircraftTypeOther ? 10 : in.aircraftTypeIndex);
  }
  b[10] = kept[26];
  b[11] = Low8(*pitch);
  b[12] = Low8(*gimbalRoll);
  b[13] = Low8(*gimbalPitch);
  b[14] = kept[22];
  b[15] = Low8(maxSpeedCode);
  b[16] = Low8(*altitude / 10);
  b[17] = Low8(*distance / 10);
  const int servoBits =
      in.servoFrequencyIndex < 0 ? (kept[kBitsByte] & 0xC0) : (in.servoFrequencyIndex & 0x03) << 6;
  const int voltBits = in.voltAlertIndex < 0 ? (kept[kBitsByte] & 0x0C) : (in.voltAlertIndex & 0x03) << 2;
  b[18] = static_cast<std::uint8_t>((kept[kBitsByte] & 0x33) | servoBits | voltBits);
  if (in.verticalSpeedIndex < 0) {
    b[19] = kept[kVerticalSpeedByte];
  } else if (in.verticalSpeedIndex < static_cast<int>(kVerticalSpeedCodes.size())) {
    b[19] = Low8(kVerticalSpeedCodes[static_cast<std::size_t>(in.verticalSpeedIndex)]);
  } else {
    b[19] = Low8(in.verticalSpeedIndex);
  }
  return built;
}

ParameterInputs InputsFromView(const ParameterView& view, const ParameterInputs& current) {
  ParameterInputs in = current;
  in.gimbalRollText = view.gimbalRollText;
  in.gimbalPitchText = view.gimbalPitchText;
  in.rollSensitivityText = view.rollSensitivityText;
  in.pitchSensitivityText = view.pitchSensitivityText;
  in.swayCompensationText = view.swayCompensationText;
  if (view.userSpeedShown) in.userSpeedText = view.userSpeedText;
  in.cellCountText = view.cellCountText;
  in.altitudeLimitText = std::to_string(view.altitudeLimit);
  in.distanceLimitText = std::to_string(view.distanceLimit);
  in.servoFrequencyIndex = view.servoFrequencyIndex;
  in.maxSpeedIndex = view.maxSpeedIndex;
  if (view.verticalSpeedIndex) in.verticalSpeedIndex = *view.verticalSpeedIndex;
  in.voltAlertIndex = view.voltAlertIndex;
  if (view.failSafeIndex) in.failSafeIndex = *view.failSafeIndex;
  // Index 9 gives code 10 back; a code it cannot give back is left unselected (carried over).
  const bool indexGivesCodeBack = view.aircraftTypeCode < kAircraftTypeOther || view.aircraftTypeCode == 10;
  in.aircraftTypeIndex = indexGivesCodeBack ? view.aircraftTypeIndex : -1;
  return in;
}

std::string FormatRangeRefusal(std::string_view hintTemplate, std::string_view label,
                               const ParameterRefusal& refusal) {
  std::string text;
  text.reserve(hintTemplate.size() + label.size() + 16);
  for (std::size_t i = 0; i < hintTemplate.size(); ++i) {
    if (hintTemplate[i] == '%' && i + 1 < hintTemplate.size()) {
      const char n = hintTemplate[i + 1];
      if (n == '1' || n == '2' || n == '3') {
        text += n == '1' ? label
                         : (n == '2' ? std::string_view(refusal.lowest) : std::string_view(refusal.highest));
        ++i;
        continue;
      }
    }
    text += hintTemplate[i];
  }
  return text;
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

}  // namespace apdesk
