#include "protocol/ParameterCodec.h"

#include <cstdint>

#include "protocol/SentenceParser.h"
#include "protocol/StatusSentence.h"

namespace apdesk {

namespace {

using Id = ParameterId;

// Indexed by ParameterField: the order a Send checks the edit fields in.
constexpr Id kFieldIds[] = {Id::AltitudeLimit,    Id::DistanceLimit,   Id::GimbalRoll,
                            Id::GimbalPitch,      Id::RollSensitivity, Id::PitchSensitivity,
                            Id::SwayCompensation, Id::MaxSpeed,        Id::CellCount};

// The index of `code` in the parameter's list, or -1.
int ListIndexOf(Id id, int code) {
  const auto& choices = FactsOf(id).choices;
  for (std::size_t i = 0; i < choices.size(); ++i)
    if (choices[i].code == code) return static_cast<int>(i);
  return -1;
}

// The code a list selection writes. An index past the listed entries writes
// itself, as the controller's list would have it.
int CodeOfListIndex(Id id, int index) {
  const auto& choices = FactsOf(id).choices;
  if (index < static_cast<int>(choices.size())) return choices[static_cast<std::size_t>(index)].code;
  return id == Id::FailSafe ? choices.front().code + index : index;
}

ParameterRefusal Refuse(ParameterRefusal::Kind kind, ParameterField field) {
  ParameterRefusal r;
  r.kind = kind;
  r.field = field;
  r.lowest = FactsOf(IdOf(field)).lowestText;
  r.highest = FactsOf(IdOf(field)).highestText;
  return r;
}

// The field's code when its text is a number within the field's range.
std::optional<int> ReadField(std::string_view text, ParameterField field) {
  std::string why;
  const ParameterFacts& facts = FactsOf(IdOf(field));
  return ParseParameterValue(facts, text, -1, &why);
}

}  // namespace

ParameterView ViewOf(const Parameters& p) {
  ParameterView v;
  v.sentence = p.sentence;

  v.verticalSpeedCode = p.Code(Id::VerticalSpeed);
  if (const int i = ListIndexOf(Id::VerticalSpeed, v.verticalSpeedCode); i >= 0) v.verticalSpeedIndex = i;
  v.failSafeCode = p.Code(Id::FailSafe);
  if (const int i = ListIndexOf(Id::FailSafe, v.failSafeCode); i >= 0) v.failSafeIndex = i;

  v.swayCompensation = p.Code(Id::SwayCompensation);
  v.rollSensitivity = p.Code(Id::RollSensitivity);
  v.pitchSensitivity = p.Code(Id::PitchSensitivity);
  v.cellCount = p.Code(Id::CellCount);
  v.swayCompensationText = std::to_string(v.swayCompensation);
  v.rollSensitivityText = std::to_string(v.rollSensitivity);
  v.pitchSensitivityText = std::to_string(v.pitchSensitivity);
  v.cellCountText = std::to_string(v.cellCount);

  v.aircraftTypeCode = p.Code(Id::AircraftType);
  v.aircraftTypeCodeText = std::to_string(v.aircraftTypeCode);
  const int type = ListIndexOf(Id::AircraftType, v.aircraftTypeCode);
  v.aircraftTypeIndex = type >= 0 ? type : kAircraftTypeOther;

  v.altitudeLimit = p.Code(Id::AltitudeLimit) * FactsOf(Id::AltitudeLimit).scale;
  v.distanceLimit = p.Code(Id::DistanceLimit) * FactsOf(Id::DistanceLimit).scale;

  v.maxSpeedCode = p.Code(Id::MaxSpeed);
  const int speed = ListIndexOf(Id::MaxSpeed, v.maxSpeedCode);
  v.maxSpeedIndex = speed >= 0 ? speed : kUserDefinedSpeedIndex;
  if (v.maxSpeedIndex == kUserDefinedSpeedIndex) {
    v.userSpeedShown = true;
    // The field shows one decimal.
    v.userSpeedText = FormatText("%.1f", v.maxSpeedCode / 25.0);
  }

  v.voltAlertIndex = ListIndexOf(Id::VoltAlert, p.Code(Id::VoltAlert));
  v.servoFrequencyIndex = ListIndexOf(Id::ServoFrequency, p.Code(Id::ServoFrequency));

  v.gimbalRoll = GimbalFromByte(static_cast<std::uint8_t>(p.Code(Id::GimbalRoll)));
  v.gimbalPitch = GimbalFromByte(static_cast<std::uint8_t>(p.Code(Id::GimbalPitch)));
  v.gimbalRollText = std::to_string(v.gimbalRoll);
  v.gimbalPitchText = std::to_string(v.gimbalPitch);
  return v;
}

std::optional<ParameterView> DecodeParameterSentence(const std::uint8_t* s) {
  const std::optional<Parameters> p = DecodeParameters(s);
  if (!p) return std::nullopt;
  return ViewOf(*p);
}

ParameterId IdOf(ParameterField field) {
  return kFieldIds[static_cast<std::size_t>(field)];
}
int EditControlOf(ParameterField field) {
  return FactsOf(IdOf(field)).editControl;
}
int LabelControlOf(ParameterField field) {
  return FactsOf(IdOf(field)).labelControl;
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
  using F = ParameterField;
  // Carried bytes would be zeros, not the controller's values.
  if (!haveValidSentence) return Refuse(Kind::ReadFirst, F::AltitudeLimit);

  Parameters p;
  p.sentence = kept;
  for (const ParameterFacts& facts : ParameterTable())
    p.SetCode(facts.id, (kept[facts.sentenceByte] & facts.mask) >> facts.shift);

  struct Typed {
    F field;
    const std::string* text;
    Kind kind;
  };
  const Typed typed[] = {
      {F::AltitudeLimit, &in.altitudeLimitText, Kind::AltitudeLimit},
      {F::DistanceLimit, &in.distanceLimitText, Kind::DistanceLimit},
      {F::GimbalRoll, &in.gimbalRollText, Kind::Range},
      {F::GimbalPitch, &in.gimbalPitchText, Kind::Range},
      {F::RollSensitivity, &in.rollSensitivityText, Kind::Range},
      {F::PitchSensitivity, &in.pitchSensitivityText, Kind::Range},
      {F::SwayCompensation, &in.swayCompensationText, Kind::Range},
      {F::UserSpeed, &in.userSpeedText, Kind::Range},
      {F::CellCount, &in.cellCountText, Kind::Range},
  };
  for (const Typed& t : typed) {
    // The speed field counts only when the list says "user-defined".
    if (t.field == F::UserSpeed && in.maxSpeedIndex != kUserDefinedSpeedIndex) continue;
    const std::optional<int> code = ReadField(*t.text, t.field);
    if (!code) return Refuse(t.kind, t.field);
    p.SetCode(IdOf(t.field), *code);
  }

  // A list without a selection (-1) leaves the controller's value as it is,
  // so an entry the list cannot show is not overwritten.
  struct Listed {
    Id id;
    int index;
  };
  const Listed lists[] = {{Id::FailSafe, in.failSafeIndex},
                          {Id::AircraftType, in.aircraftTypeIndex},
                          {Id::ServoFrequency, in.servoFrequencyIndex},
                          {Id::VoltAlert, in.voltAlertIndex},
                          {Id::VerticalSpeed, in.verticalSpeedIndex}};
  for (const Listed& l : lists)
    if (l.index >= 0) p.SetCode(l.id, CodeOfListIndex(l.id, l.index));
  if (in.maxSpeedIndex >= 0 && in.maxSpeedIndex < kUserDefinedSpeedIndex) {
    p.SetCode(Id::MaxSpeed, CodeOfListIndex(Id::MaxSpeed, in.maxSpeedIndex));
  }

  BuiltParameters built;
  built.block = EncodeParameters(p);
  built.altitudeLimit = static_cast<int>(ParseInteger(in.altitudeLimitText).value_or(0));
  built.distanceLimit = static_cast<int>(ParseInteger(in.distanceLimitText).value_or(0));
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
  // A code its list entry gives back stays selected; another (type 12, say)
  // is left unselected and so carried over.
  const bool indexGivesCodeBack = ListIndexOf(Id::AircraftType, view.aircraftTypeCode) >= 0;
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

}  // namespace apdesk
