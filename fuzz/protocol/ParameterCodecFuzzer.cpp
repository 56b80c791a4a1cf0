// Arbitrary 45-byte "$PAR" sentences into the decoder, and the decoded view
// (with arbitrary list states and now and then an arbitrary edit text) back
// into the block builder. Checked:
//  - a sentence decodes exactly when its sum holds;
//  - every decoded selection and text lies within its control's range, so a
//    view rebuilds unless a limit above 1500 came in (then it is refused with
//    the limit's message, altitude first);
//  - the rebuilt block carries every understood value back unchanged (the
//    user-defined speed within its one-decimal rounding) and every carried
//    byte untouched, and one more round trip gives the same block (a typed
//    speed with more decimals than shown within that rounding);
//  - an edited text is either refused naming a field whose text is not a
//    number in its range, or sent as that number.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../FuzzFile.h"
#include "protocol/ParameterCodec.h"
#include "protocol/SentenceParser.h"

namespace {

using namespace apdesk;

bool InRange(const std::string& text, long long lowest, long long highest) {
  const std::optional<long long> v = ParseInteger(text);
  return v && *v >= lowest && *v <= highest;
}

// Block byte -> sentence offset.
constexpr std::size_t kOffset[20] = {7,  33, 38, 12, 4,  6,  5,  42, 27, 34,
                                     26, 24, 17, 23, 22, 32, 25, 28, 43, 9};

void CheckView(const ParameterView& v) {
  FUZZ_CHECK(!v.verticalSpeedIndex || (*v.verticalSpeedIndex >= 0 && *v.verticalSpeedIndex <= 2));
  FUZZ_CHECK(!v.failSafeIndex || (*v.failSafeIndex >= 0 && *v.failSafeIndex <= 2));
  FUZZ_CHECK(v.maxSpeedIndex >= 0 && v.maxSpeedIndex <= 5);
  FUZZ_CHECK(v.userSpeedShown == (v.maxSpeedIndex == 5));
  FUZZ_CHECK(!v.userSpeedShown || ParseUserSpeedCode(v.userSpeedText).has_value());
  FUZZ_CHECK(v.voltAlertIndex >= 0 && v.voltAlertIndex <= 3);
  FUZZ_CHECK(v.servoFrequencyIndex >= 0 && v.servoFrequencyIndex <= 3);
  FUZZ_CHECK(v.aircraftTypeIndex >= 0 && v.aircraftTypeIndex <= 9);
  FUZZ_CHECK(InRange(v.aircraftTypeCodeText, 0, 255));
  FUZZ_CHECK(InRange(v.swayCompensationText, 0, 255));
  FUZZ_CHECK(InRange(v.rollSensitivityText, 0, 255));
  FUZZ_CHECK(InRange(v.pitchSensitivityText, 0, 255));
  FUZZ_CHECK(InRange(v.cellCountText, 0, 15));
  FUZZ_CHECK(InRange(v.gimbalRollText, -127, 128));
  FUZZ_CHECK(InRange(v.gimbalPitchText, -127, 128));
  FUZZ_CHECK(v.altitudeLimit % 10 == 0 && v.altitudeLimit >= 0 && v.altitudeLimit <= 2550);
  FUZZ_CHECK(v.distanceLimit % 10 == 0 && v.distanceLimit >= 0 && v.distanceLimit <= 2550);
}

std::string* TextField(ParameterInputs& in, int which) {
  switch (which) {
    case 0:
      return &in.gimbalRollText;
    case 1:
      return &in.gimbalPitchText;
    case 2:
      return &in.rollSensitivityText;
    case 3:
      return &in.pitchSensitivityText;
    case 4:
      return &in.swayCompensationText;
    case 5:
      return &in.userSpeedText;
    case 6:
      return &in.cellCountText;
    case 7:
      return &in.altitudeLimitText;
    default:
      return &in.distanceLimitText;
  }
}

// Whether each field's text may be sent, as the builder must judge it.
bool FieldAcceptable(const ParameterInputs& in, ParameterField f) {
  switch (f) {
    case ParameterField::AltitudeLimit:
      return InRange(in.altitudeLimitText, 0, 1500);
    case ParameterField::DistanceLimit:
      return InRange(in.distanceLimitText, 0, 1500);
    case ParameterField::GimbalRoll:
      return InRange(in.gimbalRollText, -127, 128);
    case ParameterField::GimbalPitch:
      return InRange(in.gimbalPitchText, -127, 128);
    case ParameterField::RollSensitivity:
      return InRange(in.rollSensitivityText, 0, 255);
    case ParameterField::PitchSensitivity:
      return InRange(in.pitchSensitivityText, 0, 255);
    case ParameterField::SwayCompensation:
      return InRange(in.swayCompensationText, 0, 255);
    case ParameterField::UserSpeed:
      return in.maxSpeedIndex != 5 || ParseUserSpeedCode(in.userSpeedText).has_value();
    case ParameterField::CellCount:
      return InRange(in.cellCountText, 0, 15);
  }
  return false;
}

constexpr ParameterField kCheckOrder[] = {
    ParameterField::AltitudeLimit,    ParameterField::DistanceLimit,   ParameterField::GimbalRoll,
    ParameterField::GimbalPitch,      ParameterField::RollSensitivity, ParameterField::PitchSensitivity,
    ParameterField::SwayCompensation, ParameterField::UserSpeed,       ParameterField::CellCount};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  ParameterSentence s{};
  for (std::size_t i = 0; i < 44; ++i) s[i] = input.ConsumeIntegral<std::uint8_t>();
  const bool fixSum = input.ConsumeBool();
  s[44] = fixSum ? ByteSum(s.data(), 44) : input.ConsumeIntegral<std::uint8_t>();
  const std::optional<ParameterView> view = DecodeParameterSentence(s.data());
  FUZZ_CHECK(view.has_value() == (ByteSum(s.data(), 44) == s[44]));
  if (!view) return 0;
  CheckView(*view);

  ParameterInputs current;
  current.verticalSpeedIndex = input.ConsumeIntegralInRange(-1, 2);
  current.failSafeIndex = input.ConsumeIntegralInRange(-1, 2);
  ParameterInputs in = InputsFromView(*view, current);

  const bool edit = input.ConsumeBool();
  const int which = edit ? input.ConsumeIntegralInRange(0, 8) : -1;
  if (edit) {
    *TextField(in, which) = input.ConsumeRandomLengthString(24);
  }
  const BuildResult result = BuildParameterBlock(in, s, true);

  // The first field that may not be sent is the one refused; none: built.
  const ParameterField* firstBad = nullptr;
  for (const ParameterField& f : kCheckOrder) {
    if (!FieldAcceptable(in, f)) {
      firstBad = &f;
      break;
    }
  }
  if (firstBad) {
    FUZZ_CHECK(std::holds_alternative<ParameterRefusal>(result));
    const ParameterRefusal& r = std::get<ParameterRefusal>(result);
    FUZZ_CHECK(r.field == *firstBad);
    if (*firstBad == ParameterField::AltitudeLimit) {
      FUZZ_CHECK(r.kind == ParameterRefusal::Kind::AltitudeLimit);
    } else if (*firstBad == ParameterField::DistanceLimit) {
      FUZZ_CHECK(r.kind == ParameterRefusal::Kind::DistanceLimit);
    } else {
      FUZZ_CHECK(r.kind == ParameterRefusal::Kind::Range);
    }
    if (!edit) FUZZ_CHECK(view->altitudeLimit > 1500 || view->distanceLimit > 1500);
    return 0;
  }
  FUZZ_CHECK(std::holds_alternative<BuiltParameters>(result));
  const ParameterBlock& b = std::get<BuiltParameters>(result).block;

  if (!edit) {
    for (std::size_t i = 0; i < 20; ++i) {
      const std::uint8_t was = s[kOffset[i]];
      switch (i) {
        case 0:  // fail-safe: a code off the list goes back as the list showed it
          if (view->failSafeIndex || current.failSafeIndex < 0) FUZZ_CHECK(b[i] == was);
          break;
        case 19:  // vertical speed, likewise
          if (view->verticalSpeedIndex || current.verticalSpeedIndex < 0) FUZZ_CHECK(b[i] == was);
          break;
        case 9:  // aircraft type: 9 and above all mean "other", sent as 10 or kept
          FUZZ_CHECK(b[i] == was || (was >= 9 && b[i] == 10));
          break;
        case 15:  // user-defined speed: one decimal of m/s, truncated back
          FUZZ_CHECK(b[i] + 2 >= was && b[i] <= was + 1);
          break;
        default:
          FUZZ_CHECK(b[i] == was);
      }
    }
  }

  if (edit) {
    const std::string& text = *TextField(in, which);
    const long long v =
        which == 5 ? ParseUserSpeedCode(text).value_or(-1) : ParseInteger(text).value_or(-1000);
    constexpr std::size_t kByteOf[9] = {12, 13, 2, 11, 1, 15, 6, 16, 17};
    const std::uint8_t got = b[kByteOf[which]];
    switch (which) {
      case 5:
        if (in.maxSpeedIndex == 5) FUZZ_CHECK(got == v);
        break;
      case 6:
        FUZZ_CHECK((got & 0x0F) == v);
        break;
      case 7:
      case 8:
        FUZZ_CHECK(got == v / 10);
        break;
      default:
        FUZZ_CHECK(got == static_cast<std::uint8_t>(v & 0xFF));
    }
  }

  // Sent and read back, the block is a fixed point.
  ParameterSentence echoed = s;
  for (std::size_t i = 0; i < 20; ++i) echoed[kOffset[i]] = b[i];
  echoed[44] = ByteSum(echoed.data(), 44);
  const std::optional<ParameterView> again = DecodeParameterSentence(echoed.data());
  FUZZ_CHECK(again.has_value());
  CheckView(*again);
  const BuildResult second = BuildParameterBlock(InputsFromView(*again, in), echoed, true);
  FUZZ_CHECK(std::holds_alternative<BuiltParameters>(second));
  const ParameterBlock& b2 = std::get<BuiltParameters>(second).block;
  for (std::size_t i = 0; i < 20; ++i) {
    if (i == 9) {
      FUZZ_CHECK(b2[i] == b[i] || (b[i] >= 9 && b2[i] == 10));
    } else if (i == 15) {  // a typed speed with more than one decimal is shown rounded
      FUZZ_CHECK(b2[i] + 2 >= b[i] && b2[i] <= b[i] + 1);
    } else {
      FUZZ_CHECK(b2[i] == b[i]);
    }
  }
  return 0;
}
