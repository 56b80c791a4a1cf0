#pragma once
// The controller's parameters by name, as apctl reads and writes them, and
// the parameter backup file. Every rule of the bytes is the parameter codec's
// (console/ParameterCodec.h): this file only maps names and words onto the
// values the window's controls would hold.

#include <array>
#include <string>
#include <vector>

#include "protocol/ParameterCodec.h"

namespace apdesk::cli {

inline constexpr std::array<const char*, 14> kParameterNames = {
    "failsafe",
    "sway_compensation",
    "roll_sensitivity",
    "pitch_sensitivity",
    "gimbal_roll_sensitivity",
    "gimbal_pitch_sensitivity",
    "servo_frequency",
    "max_speed",
    "vertical_speed",
    "volt_alert",
    "cell_count",
    "altitude_limit",
    "distance_limit",
    "aircraft_type",
};

struct NamedValue {
  std::string name;
  std::string value;
  int line = 0;  // where it came from in a file, 0 otherwise
};

// The fourteen values of a decoded sentence, in kParameterNames order.
std::vector<NamedValue> NamedParameters(const ParameterView& view);

// "NAME=VALUE" lines, or one JSON object (numbers bare, words quoted).
std::string FormatNamedText(const std::vector<NamedValue>& values);
std::string FormatNamedJson(const std::vector<NamedValue>& values);

// "NAME=VALUE" into its two halves; false with a message otherwise.
bool ParseAssignment(const std::string& text, NamedValue* value, std::string* error);

// Puts one named value into the inputs a Send would read. `kept` is the view
// of the sentence whose unnamed bytes the block will carry: a code the tool
// cannot name ("code:N") is accepted only as the value already held. Numbers
// are range-checked later by BuildParameterBlock (see DescribeRefusal).
bool ApplyNamedValue(const NamedValue& value, const ParameterView& kept, ParameterInputs* inputs,
                     std::string* error);

// The parameter name of a field the codec refused.
const char* NameOfField(ParameterField field);
// "altitude_limit: 1501 is not a number from 0 to 1500" for a refusal of
// BuildParameterBlock with those inputs.
std::string DescribeRefusal(const ParameterRefusal& refusal, const ParameterInputs& inputs);

// What differs between the block that was written and the sentence the
// controller sent back, one message per parameter; empty when it holds all
// of it. `readBack` must be a sentence whose sum holds.
std::vector<std::string> CompareReadBack(const ParameterBlock& written, const ParameterSentence& readBack);

// The backup file: a comment, the fourteen NAME=VALUE lines and the whole
// sentence in hex ("sentence=..."), which keeps the bytes the tool carries
// over without naming them.
std::string FormatParameterFile(const ParameterView& view);

struct ParameterFile {
  ParameterSentence sentence{};
  int sentenceLine = 0;
  std::vector<NamedValue> values;  // in file order, each name at most once
};

// False with "line N: ..." when the file is damaged: a line that is no
// NAME=VALUE, an unknown or repeated name, a missing or broken sentence.
bool ParseParameterFile(const std::string& text, ParameterFile* file, std::string* error);

// The block a backup restores: its sentence's carried-over bytes with its
// named values. False with "line N: NAME: ..." when a value is out of range.
bool BlockFromParameterFile(const ParameterFile& file, ParameterBlock* block, std::string* error);

// The block `params set` writes: the controller's sentence with the edits.
bool BlockWithEdits(const ParameterSentence& current, const std::vector<NamedValue>& edits,
                    ParameterBlock* block, std::string* error);

}  // namespace apdesk::cli
