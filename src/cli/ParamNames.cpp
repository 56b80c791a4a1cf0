#include "cli/ParamNames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace apdesk::cli {

namespace {

constexpr std::array<const char*, 3> kFailSafeWords = {"return-land", "land", "hover"};
constexpr std::array<const char*, 4> kServoWords = {"50", "250", "333", "400"};
constexpr std::array<const char*, 5> kMaxSpeedWords = {"3.6", "4.8", "6.0", "8.0", "10.2"};
constexpr std::array<const char*, 3> kVerticalWords = {"2", "4", "5"};
constexpr std::array<const char*, 4> kVoltWords = {"3.55", "3.60", "3.65", "3.70"};
constexpr std::array<const char*, 4> kAircraftWords = {"quad-cross", "quad-x", "hex-cross", "hex-x"};

std::string CodeWord(int code) {
  return "code:" + std::to_string(code);
}

// A speed code in m/s, exact: code / 25 has at most two decimals.
std::string SpeedText(int code) {
  char text[16];
  if ((code * 4) % 10 == 0) {
    std::snprintf(text, sizeof text, "%.1f", code / 25.0);
  } else {
    std::snprintf(text, sizeof text, "%.2f", code / 25.0);
  }
  return text;
}

template <std::size_t N>
int IndexOf(const std::array<const char*, N>& words, const std::string& value) {
  for (std::size_t i = 0; i < N; ++i)
    if (value == words[i]) return static_cast<int>(i);
  return -1;
}

template <std::size_t N>
std::string OneOf(const std::array<const char*, N>& words) {
  std::string list;
  for (std::size_t i = 0; i < N; ++i) {
    if (i > 0) list += i + 1 == N ? " or " : ", ";
    list += words[i];
  }
  return list;
}

bool IsPlainNumber(const std::string& text) {
  if (text.empty()) return false;
  std::size_t i = text[0] == '-' ? 1 : 0;
  bool digit = false, point = false;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      digit = true;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

// "code:N" naming the value already held.
bool IsKeptCode(const std::string& value, int keptCode) {
  return value == CodeWord(keptCode);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Text from a file or the command line as a message quotes it: printable
// ASCII as it is, any other byte as \xNN (a terminal must not take junk for
// control sequences), cut short when long.
std::string Shown(const std::string& text) {
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

// A text file holds no control bytes other than tab and the line ends.
bool HasBinaryBytes(const std::string& line) {
  return std::any_of(line.begin(), line.end(), [](char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    return (c < 0x20 && c != '\t' && c != '\r') || c == 0x7f;
  });
}

bool KnownName(const std::string& name) {
  return std::any_of(kParameterNames.begin(), kParameterNames.end(),
                     [&](const char* n) { return name == n; });
}

}  // namespace

std::vector<NamedValue> NamedParameters(const ParameterView& v) {
  std::vector<NamedValue> out;
  auto add = [&out](const char* name, std::string value) { out.push_back({name, std::move(value), 0}); };
  add("failsafe", v.failSafeIndex ? kFailSafeWords[static_cast<std::size_t>(*v.failSafeIndex)]
                                  : CodeWord(v.failSafeCode));
  add("sway_compensation", v.swayCompensationText);
  add("roll_sensitivity", v.rollSensitivityText);
  add("pitch_sensitivity", v.pitchSensitivityText);
  add("gimbal_roll_sensitivity", v.gimbalRollText);
  add("gimbal_pitch_sensitivity", v.gimbalPitchText);
  add("servo_frequency", kServoWords[static_cast<std::size_t>(v.servoFrequencyIndex & 3)]);
  add("max_speed", v.maxSpeedIndex < kUserDefinedSpeedIndex
                       ? std::string(kMaxSpeedWords[static_cast<std::size_t>(v.maxSpeedIndex)])
                       : SpeedText(v.maxSpeedCode));
  add("vertical_speed", v.verticalSpeedIndex ? kVerticalWords[static_cast<std::size_t>(*v.verticalSpeedIndex)]
                                             : CodeWord(v.verticalSpeedCode));
  add("volt_alert", kVoltWords[static_cast<std::size_t>(v.voltAlertIndex & 3)]);
  add("cell_count", v.cellCountText);
  add("altitude_limit", std::to_string(v.altitudeLimit));
  add("distance_limit", std::to_string(v.distanceLimit));
  add("aircraft_type", v.aircraftTypeCode < static_cast<int>(kAircraftWords.size())
                           ? std::string(kAircraftWords[static_cast<std::size_t>(v.aircraftTypeCode)])
                           : std::to_string(v.aircraftTypeCode));
  return out;
}

std::string FormatNamedText(const std::vector<NamedValue>& values) {
  std::string out;
  for (const NamedValue& v : values) out += v.name + "=" + v.value + "\n";
  return out;
}

std::string FormatNamedJson(const std::vector<NamedValue>& values) {
  std::string out = "{";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ",";
    out += "\"" + values[i].name + "\":";
    out += IsPlainNumber(values[i].value) ? values[i].value : "\"" + values[i].value + "\"";
  }
  return out + "}";
}

bool ParseAssignment(const std::string& text, NamedValue* value, std::string* error) {
  const auto eq = text.find('=');
  if (eq == std::string::npos || eq == 0) {
    *error = "\"" + Shown(text) + "\" is not NAME=VALUE";
    return false;
  }
  value->name = Trimmed(text.substr(0, eq));
  value->value = Trimmed(text.substr(eq + 1));
  if (!KnownName(value->name)) {
    *error = "unknown parameter \"" + Shown(value->name) + "\" (apctl --help lists them)";
    return false;
  }
  return true;
}

bool ApplyNamedValue(const NamedValue& nv, const ParameterView& kept, ParameterInputs* in,
                     std::string* error) {
  const std::string& n = nv.name;
  const std::string& v = nv.value;
  auto refuse = [&](const std::string& allowed) {
    *error = n + ": \"" + Shown(v) + "\" is not " + allowed;
    return false;
  };
  if (n == "failsafe") {
    if (const int i = IndexOf(kFailSafeWords, v); i >= 0) {
      in->failSafeIndex = i;
    } else if (IsKeptCode(v, kept.failSafeCode)) {
      in->failSafeIndex = -1;
    } else {
      return refuse(OneOf(kFailSafeWords));
    }
  } else if (n == "sway_compensation") {
    in->swayCompensationText = v;
  } else if (n == "roll_sensitivity") {
    in->rollSensitivityText = v;
  } else if (n == "pitch_sensitivity") {
    in->pitchSensitivityText = v;
  } else if (n == "gimbal_roll_sensitivity") {
    in->gimbalRollText = v;
  } else if (n == "gimbal_pitch_sensitivity") {
    in->gimbalPitchText = v;
  } else if (n == "servo_frequency") {
    const int i = IndexOf(kServoWords, v);
    if (i < 0) return refuse(OneOf(kServoWords));
    in->servoFrequencyIndex = i;
  } else if (n == "max_speed") {
    // A listed speed selects its entry; any other goes in as user-defined,
    // where the codec checks it.
    const std::optional<int> code = ParseUserSpeedCode(v);
    const auto listed =
        code ? std::find(kMaxSpeedCodes.begin(), kMaxSpeedCodes.end(), *code) : kMaxSpeedCodes.end();
    if (listed != kMaxSpeedCodes.end()) {
      in->maxSpeedIndex = static_cast<int>(listed - kMaxSpeedCodes.begin());
    } else {
      in->maxSpeedIndex = kUserDefinedSpeedIndex;
      in->userSpeedText = v;
    }
  } else if (n == "vertical_speed") {
    if (const int i = IndexOf(kVerticalWords, v); i >= 0) {
      in->verticalSpeedIndex = i;
    } else if (IsKeptCode(v, kept.verticalSpeedCode)) {
      in->verticalSpeedIndex = -1;
    } else {
      return refuse(OneOf(kVerticalWords));
    }
  } else if (n == "volt_alert") {
    std::string word = v;
    if (word == "3.6" || word == "3.7") word += "0";
    const int i = IndexOf(kVoltWords, word);
    if (i < 0) return refuse(OneOf(kVoltWords));
    in->voltAlertIndex = i;
  } else if (n == "cell_count") {
    in->cellCountText = v;
  } else if (n == "altitude_limit") {
    in->altitudeLimitText = v;
  } else if (n == "distance_limit") {
    in->distanceLimitText = v;
  } else if (n == "aircraft_type") {
    const std::optional<long long> code = ParseInteger(v);
    if (const int i = IndexOf(kAircraftWords, v); i >= 0) {
      in->aircraftTypeIndex = i;
    } else if (code && *code >= 0 && *code < kAircraftTypeOther) {
      in->aircraftTypeIndex = static_cast<int>(*code);
    } else if (code && *code == 10) {
      in->aircraftTypeIndex = kAircraftTypeOther;
    } else if (code && *code == kept.aircraftTypeCode) {
      in->aircraftTypeIndex = -1;  // a code no entry gives back: left as the controller has it
    } else {
      return refuse(OneOf(kAircraftWords) + " or a code 0 to 8 or 10");
    }
  } else {
    *error = "unknown parameter \"" + n + "\" (apctl --help lists them)";
    return false;
  }
  return true;
}

const char* NameOfField(ParameterField field) {
  switch (field) {
    case ParameterField::AltitudeLimit:
      return "altitude_limit";
    case ParameterField::DistanceLimit:
      return "distance_limit";
    case ParameterField::GimbalRoll:
      return "gimbal_roll_sensitivity";
    case ParameterField::GimbalPitch:
      return "gimbal_pitch_sensitivity";
    case ParameterField::RollSensitivity:
      return "roll_sensitivity";
    case ParameterField::PitchSensitivity:
      return "pitch_sensitivity";
    case ParameterField::SwayCompensation:
      return "sway_compensation";
    case ParameterField::UserSpeed:
      return "max_speed";
    case ParameterField::CellCount:
      return "cell_count";
  }
  return "?";
}

std::string DescribeRefusal(const ParameterRefusal& r, const ParameterInputs& in) {
  using Kind = ParameterRefusal::Kind;
  if (r.kind == Kind::ReadFirst) return "the parameters must be read from the controller first";
  const ParameterField field = r.kind == Kind::AltitudeLimit   ? ParameterField::AltitudeLimit
                               : r.kind == Kind::DistanceLimit ? ParameterField::DistanceLimit
                                                               : r.field;
  std::string value;
  switch (field) {
    case ParameterField::AltitudeLimit:
      value = in.altitudeLimitText;
      break;
    case ParameterField::DistanceLimit:
      value = in.distanceLimitText;
      break;
    case ParameterField::GimbalRoll:
      value = in.gimbalRollText;
      break;
    case ParameterField::GimbalPitch:
      value = in.gimbalPitchText;
      break;
    case ParameterField::RollSensitivity:
      value = in.rollSensitivityText;
      break;
    case ParameterField::PitchSensitivity:
      value = in.pitchSensitivityText;
      break;
    case ParameterField::SwayCompensation:
      value = in.swayCompensationText;
      break;
    case ParameterField::UserSpeed:
      value = in.userSpeedText;
      break;
    case ParameterField::CellCount:
      value = in.cellCountText;
      break;
  }
  std::string lowest = r.lowest, highest = r.highest;
  if (r.kind != Kind::Range || lowest.empty() || highest.empty()) {
    lowest = "0";
    highest = "1500";
  }
  return std::string(NameOfField(field)) + ": \"" + Shown(value) + "\" is not a number from " + lowest +
         " to " + highest;
}

std::vector<std::string> CompareReadBack(const ParameterBlock& written, const ParameterSentence& readBack) {
  std::vector<std::string> out;
  const std::optional<ParameterView> view = DecodeParameterSentence(readBack.data());
  if (!view) return {"the controller's parameter sentence has a wrong sum"};
  // Rebuilding the block from what the controller holds must give the bytes
  // written, except the user-defined speed, whose shown text is rounded.
  const BuildResult rebuilt = BuildParameterBlock(InputsFromView(*view, ParameterInputs{}), readBack, true);
  const BuiltParameters* held = std::get_if<BuiltParameters>(&rebuilt);
  if (!held) return {"the controller reports values the tool cannot write back"};
  ParameterBlock have = held->block;
  have[15] = static_cast<std::uint8_t>(view->maxSpeedCode);

  const std::vector<NamedValue> names = NamedParameters(*view);
  auto shown = [&names](const char* name) {
    for (const NamedValue& v : names)
      if (v.name == name) return v.value;
    return std::string();
  };
  struct ByteName {
    int byte;
    int mask;
    const char* name;
  };
  static constexpr ByteName kBytes[] = {
      {0, 0xFF, "failsafe"},
      {1, 0xFF, "sway_compensation"},
      {2, 0xFF, "roll_sensitivity"},
      {6, 0x0F, "cell_count"},
      {9, 0xFF, "aircraft_type"},
      {11, 0xFF, "pitch_sensitivity"},
      {12, 0xFF, "gimbal_roll_sensitivity"},
      {13, 0xFF, "gimbal_pitch_sensitivity"},
      {15, 0xFF, "max_speed"},
      {16, 0xFF, "altitude_limit"},
      {17, 0xFF, "distance_limit"},
      {18, 0xC0, "servo_frequency"},
      {18, 0x0C, "volt_alert"},
      {19, 0xFF, "vertical_speed"},
  };
  for (const ByteName& b : kBytes) {
    const int w = written[static_cast<std::size_t>(b.byte)] & b.mask;
    const int h = have[static_cast<std::size_t>(b.byte)] & b.mask;
    if (w != h) {
      out.push_back(std::string(b.name) + ": the controller reports " + shown(b.name) + " (byte " +
                    std::to_string(h) + "), not byte " + std::to_string(w) + " as written");
    }
  }
  static constexpr ByteName kCarried[] = {{3, 0xFF, ""},  {4, 0xFF, ""},  {5, 0xFF, ""},
                                          {6, 0xF0, ""},  {7, 0xFF, ""},  {8, 0xFF, ""},
                                          {10, 0xFF, ""}, {14, 0xFF, ""}, {18, 0x33, ""}};
  for (const ByteName& b : kCarried) {
    const int w = written[static_cast<std::size_t>(b.byte)] & b.mask;
    const int h = have[static_cast<std::size_t>(b.byte)] & b.mask;
    if (w != h) {
      out.push_back("carried-over byte " + std::to_string(b.byte) + " of the block: the controller reports " +
                    std::to_string(h) + ", not " + std::to_string(w) + " as written");
    }
  }
  return out;
}

std::string FormatParameterFile(const ParameterView& view) {
  std::string out =
      "# apctl parameter backup: one NAME=VALUE per line (apctl --help lists the names).\n"
      "# \"sentence\" is the controller's whole parameter sentence in hex; it carries\n"
      "# the bytes the tool does not name. Edit the named values, not the sentence.\n";
  out += FormatNamedText(NamedParameters(view));
  out += "sentence=";
  static const char* kHex = "0123456789abcdef";
  for (std::uint8_t b : view.sentence) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out + "\n";
}

bool ParseParameterFile(const std::string& text, ParameterFile* file, std::string* error) {
  *file = ParameterFile{};
  // An editor may have put a byte-order mark in front, as it may CRLF line ends.
  const bool bom = text.compare(0, 3, "\xef\xbb\xbf") == 0;
  std::istringstream in(bom ? text.substr(3) : text);
  std::string raw;
  int lineNo = 0;
  bool haveSentence = false;
  while (std::getline(in, raw)) {
    ++lineNo;
    const std::string where = "line " + std::to_string(lineNo) + ": ";
    if (HasBinaryBytes(raw)) {
      *error = where + "binary bytes: this is not a parameter file";
      return false;
    }
    const std::string line = Trimmed(raw);
    if (line.empty() || line[0] == '#') continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
      *error = where + "\"" + Shown(line) + "\" is not NAME=VALUE";
      return false;
    }
    const std::string name = Trimmed(line.substr(0, eq));
    const std::string value = Trimmed(line.substr(eq + 1));
    if (name == "sentence") {
      if (haveSentence) {
        *error = where + "a second sentence";
        return false;
      }
      if (value.size() != file->sentence.size() * 2) {
        *error = where + "the sentence must be " + std::to_string(file->sentence.size() * 2) + " hex digits";
        return false;
      }
      for (std::size_t i = 0; i < file->sentence.size(); ++i) {
        const int hi = HexDigit(value[2 * i]), lo = HexDigit(value[2 * i + 1]);
        if (hi < 0 || lo < 0) {
          *error = where + "the sentence holds something other than hex digits";
          return false;
        }
        file->sentence[i] = static_cast<std::uint8_t>(hi * 16 + lo);
      }
      if (std::memcmp(file->sentence.data(), "$PAR", 4) != 0 ||
          !DecodeParameterSentence(file->sentence.data())) {
        *error = where + "the sentence is damaged (not \"$PAR\" or its sum is wrong)";
        return false;
      }
      haveSentence = true;
      file->sentenceLine = lineNo;
      continue;
    }
    if (!KnownName(name)) {
      *error = where + "unknown parameter \"" + Shown(name) + "\"";
      return false;
    }
    for (const NamedValue& seen : file->values) {
      if (seen.name == name) {
        *error = where + name + " is given twice (first on line " + std::to_string(seen.line) + ")";
        return false;
      }
    }
    file->values.push_back({name, value, lineNo});
  }
  if (!haveSentence) {
    *error = "line " + std::to_string(lineNo + 1) + ": the file ends without its \"sentence=\" line";
    return false;
  }
  return true;
}

namespace {

bool BuildWith(const ParameterSentence& kept, const std::vector<NamedValue>& values, bool withLines,
               ParameterBlock* block, std::string* error) {
  const std::optional<ParameterView> view = DecodeParameterSentence(kept.data());
  if (!view) {
    *error = "the controller's parameter sentence has a wrong sum";
    return false;
  }
  ParameterInputs in = InputsFromView(*view, ParameterInputs{});
  // The window's field shows a user-defined speed with one decimal, so code 93
  // would go back as 92; apctl keeps the exact value unless it is edited.
  if (view->maxSpeedIndex == kUserDefinedSpeedIndex) in.userSpeedText = SpeedText(view->maxSpeedCode);
  auto where = [withLines](const NamedValue& v) {
    return withLines ? "line " + std::to_string(v.line) + ": " : std::string();
  };
  for (const NamedValue& v : values) {
    std::string why;
    if (!ApplyNamedValue(v, *view, &in, &why)) {
      *error = where(v) + why;
      return false;
    }
  }
  const BuildResult built = BuildParameterBlock(in, kept, true);
  if (const ParameterRefusal* r = std::get_if<ParameterRefusal>(&built)) {
    const std::string message = DescribeRefusal(*r, in);
    std::string prefix;
    for (const NamedValue& v : values)
      if (message.rfind(v.name + ":", 0) == 0) prefix = where(v);
    *error = prefix + message;
    return false;
  }
  *block = std::get<BuiltParameters>(built).block;
  return true;
}

}  // namespace

bool BlockFromParameterFile(const ParameterFile& file, ParameterBlock* block, std::string* error) {
  return BuildWith(file.sentence, file.values, true, block, error);
}

bool BlockWithEdits(const ParameterSentence& current, const std::vector<NamedValue>& edits,
                    ParameterBlock* block, std::string* error) {
  return BuildWith(current, edits, false, block, error);
}

}  // namespace apdesk::cli
