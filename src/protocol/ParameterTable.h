#pragma once
// Every fact about the controller's fourteen parameters, once: the name apctl
// and parameter files use, where the value sits in the 45-byte "$PAR"
// sentence and in the 20-byte parameter block, its bits, how its code reads
// (scale, signed display, choices), its range and unit, and the language keys
// of its label and description. The window's controls, the codec and apctl's
// NAME=VALUE all read this table.
//
// A parameter's "code" is the field's raw value (its bits, shifted down); its
// "value" is what a person reads and types.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace apdesk {

using ParameterSentence = std::array<std::uint8_t, 45>;
using ParameterBlock = std::array<std::uint8_t, 20>;

// In the order apctl lists them.
enum class ParameterId : std::uint8_t {
  FailSafe,
  SwayCompensation,
  RollSensitivity,
  PitchSensitivity,
  GimbalRoll,
  GimbalPitch,
  ServoFrequency,
  MaxSpeed,
  VerticalSpeed,
  VoltAlert,
  CellCount,
  AltitudeLimit,
  DistanceLimit,
  AircraftType,
};
inline constexpr std::size_t kParameterCount = 14;

enum class ParameterEncoding : std::uint8_t {
  Number,  // value = code x scale, typed as a whole number
  Signed,  // a byte shown as -127..128: 129-255 read as code - 256
  Choice,  // one of the choices; another code is only ever kept as it is
  Speed,   // one of the choices or any code, read as code / 25 m/s
};

struct ParameterChoice {
  int code;
  const char* word;     // apctl's and the file's word; nullptr: typed as the bare code
  const char* textKey;  // the window's list entry; nullptr: word followed by the unit
};

struct ParameterFacts {
  ParameterId id;
  const char* name;  // apctl and parameter files
  std::uint8_t sentenceByte;
  std::uint8_t blockByte;
  std::uint8_t mask;  // the field's bits, the same in both bytes
  std::uint8_t shift;
  ParameterEncoding encoding;
  int scale;   // Number: value = code x scale
  int lowest;  // Number, Signed: the range of the typed value
  int highest;
  const char* lowestText;  // the range as messages show it
  const char* highestText;
  std::span<const ParameterChoice> choices;  // in the window's list order
  const char* otherCodes;      // Choice: besides the words, e.g. "a code 0 to 8 or 10"; nullptr: none
  const char* unitKey;         // [public] key of the unit; nullptr: none
  int labelControl;            // [parameter] key of the window's label
  int listControl;             // the window's list, 0 if none
  int editControl;             // the window's edit field, 0 if none
  const char* descriptionKey;  // [public] key of the one-line description
};

std::span<const ParameterFacts> ParameterTable();
const ParameterFacts& FactsOf(ParameterId id);
// Nothing for a name that is not a parameter's.
const ParameterFacts* FindParameter(std::string_view name);

// The sentence offset each block byte comes from. A block byte no parameter
// owns (or the bits of one a parameter does not) carries that sentence byte
// over untouched.
inline constexpr std::array<std::uint8_t, 20> kBlockFromSentence = {7,  33, 38, 12, 4,  6,  5,  42, 27, 34,
                                                                    26, 24, 17, 23, 22, 32, 25, 28, 43, 9};

// A decoded parameter sentence: the sentence as it came (its bytes the tool
// does not name go back untouched) and the code of every parameter.
struct Parameters {
  ParameterSentence sentence{};
  std::array<int, kParameterCount> codes{};

  int Code(ParameterId id) const { return codes[static_cast<std::size_t>(id)]; }
  void SetCode(ParameterId id, int code) { codes[static_cast<std::size_t>(id)] = code; }
  bool operator==(const Parameters&) const = default;
};

// Nothing when the sum (byte 44 = sum of bytes 0-43) fails. `s45` points to
// 45 bytes.
std::optional<Parameters> DecodeParameters(const std::uint8_t* s45);

// The block that writes `p`: every parameter's code in its bits, every other
// bit from `p.sentence`.
ParameterBlock EncodeParameters(const Parameters& p);

// The sentence a controller holding `before` sends back once it has stored
// `block` (sum included). What a comparison expects to read back.
ParameterSentence SentenceAfterBlock(const ParameterSentence& before, const ParameterBlock& block);

// Signed display of a byte: 129-255 as value - 256.
int GimbalFromByte(std::uint8_t b);

// The code as apctl and files write it: a choice's word, a number, a speed
// with as many decimals as it needs, or "code:N" for a choice code no word
// names.
std::string FormatParameterValue(const ParameterFacts& facts, int code);

// The code `text` names. `keptCode` is the code held now: a code that has no
// word is accepted only as that one. Nothing with `why` set to
// "\"TEXT\" is not ..." otherwise.
std::optional<int> ParseParameterValue(const ParameterFacts& facts, std::string_view text, int keptCode,
                                       std::string* why);

// "0 to 1500", "-127 to 128", "0 to 10.2" or "return-land, land or hover".
std::string AllowedValues(const ParameterFacts& facts);

// Decimal text to number: optional blanks around, optional sign, digits.
// Nothing for anything else or overflow.
std::optional<long long> ParseInteger(std::string_view text);

// Code of a speed text: truncate(v x 25) computed in decimal, so "3.7" gives
// 92 and "10.2" gives 255; nothing when the text is not a number from 0 to
// 10.2.
std::optional<int> ParseUserSpeedCode(std::string_view text);

// Text from a file or the command line as a message quotes it: printable
// ASCII as it is, any other byte as \xNN, cut short when long.
std::string QuotedInput(std::string_view text);

}  // namespace apdesk
