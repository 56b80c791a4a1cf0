#pragma once
// The "Set Parameters" group's view of the parameter table: a "$PAR"
// sentence decoded into what each control shows, and the controls' texts and
// selections checked and turned into the 20-byte parameter block over the
// kept sentence (whose bytes the tool does not understand are carried over
// untouched). Every offset, bit, code and range is the table's
// (protocol/ParameterTable.h).
//
// The main window (and apctl) keep the last sentence whose sum held
// (`m_lastParams`, zeros until then) and whether one arrived on the current
// connection; a block is built only after one did.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "protocol/ParameterTable.h"

namespace apdesk {

// The list entry after the listed speeds of 1139: "user-defined", which
// shows the speed field 1158.
inline constexpr int kUserDefinedSpeedIndex = 5;
// The last entry of 1159, "other", which writes code 10.
inline constexpr int kAircraftTypeOther = 9;

// What one valid "$PAR" sentence puts into the controls. Texts are what the
// edit fields show; the numbers beside them are for apctl and tests.
struct ParameterView {
  ParameterSentence sentence{};  // the whole sentence, to keep as m_lastParams

  // 1160: index 0-2, or nothing when the code is not 100/200/250 (leave the
  // list as it is).
  std::optional<int> verticalSpeedIndex;
  int verticalSpeedCode = 0;  // byte 9

  // 1163: index 0-2, or nothing when the code is not 80-82 (leave the list).
  std::optional<int> failSafeIndex;
  int failSafeCode = 0;  // byte 7

  // 1139 and the user-defined field 1158.
  int maxSpeedIndex = 0;        // 0-4 for the listed codes, 5 = user-defined
  bool userSpeedShown = false;  // show 1158 (hide it otherwise)
  std::string userSpeedText;    // 1158 when shown: code / 25, "%.1f"; else empty
  int maxSpeedCode = 0;         // byte 32

  int voltAlertIndex = 0;       // 1016: bits 3-2 of byte 43
  int servoFrequencyIndex = 0;  // 1155: bits 7-6 of byte 43

  // 1159: the code if below 9, else 9. The window selects nothing when its
  // list has no such entry.
  int aircraftTypeIndex = 0;
  std::string aircraftTypeCodeText;  // hidden 1153: byte 34 as a number
  int aircraftTypeCode = 0;

  std::string swayCompensationText;  // 1156, byte 33, 0-255
  std::string rollSensitivityText;   // 1140, byte 38, 0-255
  std::string pitchSensitivityText;  // 1154, byte 24, 0-255
  std::string cellCountText;         // 1149, bits 3-0 of byte 5
  std::string gimbalRollText;        // 1144, byte 17 shown signed (-127..128)
  std::string gimbalPitchText;       // 1157, byte 23 shown signed (-127..128)
  int swayCompensation = 0, rollSensitivity = 0, pitchSensitivity = 0, cellCount = 0;
  int gimbalRoll = 0, gimbalPitch = 0;

  // m_altitudeLimit and m_distanceLimit: code x 10 metres (fields 1150, 1151).
  int altitudeLimit = 0;
  int distanceLimit = 0;
};

// Checks the sum (byte 44 = sum of bytes 0-43) and decodes; nothing when the
// sum fails (the window then only rewrites 1150/1151 from its members).
// `s45` points to 45 bytes.
std::optional<ParameterView> DecodeParameterSentence(const std::uint8_t* s45);
// The same from an already decoded value.
ParameterView ViewOf(const Parameters& p);

// The controls' values at Send. Edit fields as typed; list selections as
// indexes, -1 for no selection.
struct ParameterInputs {
  std::string gimbalRollText;        // 1144
  std::string gimbalPitchText;       // 1157
  std::string rollSensitivityText;   // 1140
  std::string pitchSensitivityText;  // 1154
  std::string swayCompensationText;  // 1156
  std::string userSpeedText;         // 1158, read only when 1139 is "user-defined"
  std::string cellCountText;         // 1149
  std::string altitudeLimitText;     // 1150
  std::string distanceLimitText;     // 1151
  int servoFrequencyIndex = -1;      // 1155
  int maxSpeedIndex = -1;            // 1139
  int verticalSpeedIndex = -1;       // 1160
  int voltAlertIndex = -1;           // 1016
  int failSafeIndex = -1;            // 1163
  int aircraftTypeIndex = -1;        // 1159
};

// The fields a Send can refuse, in the order they are checked after the two
// limits. Each names its edit control and its label.
enum class ParameterField : std::uint8_t {
  AltitudeLimit,     // edit 1150, label 1249
  DistanceLimit,     // edit 1151, label 1247
  GimbalRoll,        // edit 1144, label 1234
  GimbalPitch,       // edit 1157, label 1244
  RollSensitivity,   // edit 1140, label 1232
  PitchSensitivity,  // edit 1154, label 1251
  SwayCompensation,  // edit 1156, label 1243
  UserSpeed,         // edit 1158, label 1238 ("Max Flight Speed")
  CellCount,         // edit 1149, label 1245
};

// The table's parameter a field holds (UserSpeed: the maximum speed).
ParameterId IdOf(ParameterField field);
int EditControlOf(ParameterField field);
int LabelControlOf(ParameterField field);

struct ParameterRefusal {
  enum class Kind : std::uint8_t {
    ReadFirst,      // no valid "$PAR" on this connection yet: "LID_HINT_READFIRST"
    AltitudeLimit,  // 1150 not a number from 0 to 1500: "LID_HINT_ALT"
    DistanceLimit,  // 1151 not a number from 0 to 1500: "LID_HINT_DIS"
    Range,          // `field` not a number from `lowest` to `highest`: "LID_HINT_RANGE"
  };
  Kind kind = Kind::ReadFirst;
  ParameterField field = ParameterField::AltitudeLimit;  // for AltitudeLimit, DistanceLimit, Range
  std::string lowest;                                    // e.g. "0", "-127"
  std::string highest;                                   // e.g. "255", "10.2"

  // The language key of the message: "LID_HINT_READFIRST", "LID_HINT_ALT",
  // "LID_HINT_DIS" or "LID_HINT_RANGE".
  std::string_view LanguageKey() const;
};

struct BuiltParameters {
  ParameterBlock block{};
  int altitudeLimit = 0;  // the values read from 1150 and 1151, for the
  int distanceLimit = 0;  // window's m_altitudeLimit / m_distanceLimit
};

using BuildResult = std::variant<BuiltParameters, ParameterRefusal>;

// Checks every value first (read-first, altitude, distance, then the fields
// in ParameterField order) and refuses the whole block at the first one that
// is not a number in its range. Otherwise fills the 20 bytes; bytes and bits
// the tool does not set come from `kept`. A list without a selection (-1)
// carries its kept value over as well, so an entry the list cannot show is
// not overwritten.
BuildResult BuildParameterBlock(const ParameterInputs& in, const ParameterSentence& kept,
                                bool haveValidSentence);

// The inputs a view puts into the controls, with the selections a view leaves
// unchanged taken from `current` (what the lists showed before). What the
// window and apctl do before editing.
ParameterInputs InputsFromView(const ParameterView& view, const ParameterInputs& current);

// "LID_HINT_RANGE" text with %1 = the field's label, %2 = lowest, %3 = highest.
std::string FormatRangeRefusal(std::string_view hintTemplate, std::string_view label,
                               const ParameterRefusal& refusal);

}  // namespace apdesk
