#include "protocol/ParameterCodec.h"

#include <gtest/gtest.h>

#include "protocol/SentenceBytes.h"

namespace apdesk {
namespace {

using test::Bytes;

ParameterSentence Kept(const Bytes& s) {
  ParameterSentence k{};
  std::copy(s.begin(), s.end(), k.begin());
  return k;
}

ParameterView DecodeOk(const Bytes& s) {
  const std::optional<ParameterView> v = DecodeParameterSentence(s.data());
  EXPECT_TRUE(v.has_value());
  return v.value_or(ParameterView{});
}

// The inputs a freshly decoded sentence leaves in the controls.
ParameterInputs Inputs(const ParameterView& v) {
  ParameterInputs current;
  current.verticalSpeedIndex = 0;
  current.failSafeIndex = 0;
  return InputsFromView(v, current);
}

ParameterBlock BuildOk(const ParameterInputs& in, const Bytes& kept) {
  const BuildResult r = BuildParameterBlock(in, Kept(kept), true);
  EXPECT_TRUE(std::holds_alternative<BuiltParameters>(r))
      << "refused: " << std::get<ParameterRefusal>(r).LanguageKey() << " field "
      << LabelControlOf(std::get<ParameterRefusal>(r).field);
  return std::holds_alternative<BuiltParameters>(r) ? std::get<BuiltParameters>(r).block : ParameterBlock{};
}

// Block byte -> sentence offset it carries back.
constexpr std::size_t kOffsetOfBlockByte[20] = {7,  33, 38, 12, 4,  6,  5,  42, 27, 34,
                                                26, 24, 17, 23, 22, 32, 25, 28, 43, 9};

// Every byte a different value the tool understands as it is.
Bytes Distinct() {
  return test::Parameters({{4, 0x11},  {5, 0xA7}, {6, 0x13}, {7, 81},   {9, 200},   {12, 0x14}, {17, 200},
                           {22, 0x16}, {23, 30},  {24, 77},  {25, 123}, {26, 0x1A}, {27, 0x1B}, {28, 45},
                           {32, 125},  {33, 99},  {34, 2},   {38, 250}, {42, 0x2A}, {43, 0xF7}});
}

TEST(ParameterCodec, RoundTripCarriesEveryByteBack) {
  const Bytes s = Distinct();
  const ParameterBlock b = BuildOk(Inputs(DecodeOk(s)), s);
  for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(b[i], s[kOffsetOfBlockByte[i]]) << "block byte " << i;
}

TEST(ParameterCodec, ChangingOneValueChangesOnlyItsOwnBytes) {
  const Bytes s = Distinct();
  const ParameterInputs base = Inputs(DecodeOk(s));
  const ParameterBlock before = BuildOk(base, s);
  const struct {
    const char* what;
    void (*edit)(ParameterInputs&);
    std::size_t byte;
    std::uint8_t value;
  } edits[] = {
      {"fail-safe", [](ParameterInputs& in) { in.failSafeIndex = 2; }, 0, 82},
      {"sway", [](ParameterInputs& in) { in.swayCompensationText = "0"; }, 1, 0},
      {"roll", [](ParameterInputs& in) { in.rollSensitivityText = "255"; }, 2, 255},
      {"cells", [](ParameterInputs& in) { in.cellCountText = "15"; }, 6, 0xAF},
      {"type", [](ParameterInputs& in) { in.aircraftTypeIndex = 9; }, 9, 10},
      {"pitch", [](ParameterInputs& in) { in.pitchSensitivityText = "+5"; }, 11, 5},
      {"gimbal roll", [](ParameterInputs& in) { in.gimbalRollText = "-127"; }, 12, 129},
      {"gimbal pitch", [](ParameterInputs& in) { in.gimbalPitchText = "128"; }, 13, 128},
      {"listed speed", [](ParameterInputs& in) { in.maxSpeedIndex = 4; }, 15, 255},
      {"user speed", [](ParameterInputs& in) { in.userSpeedText = "10.2"; }, 15, 255},
      {"altitude", [](ParameterInputs& in) { in.altitudeLimitText = "1500"; }, 16, 150},
      {"distance", [](ParameterInputs& in) { in.distanceLimitText = " 1234 "; }, 17, 123},
      {"servo frequency", [](ParameterInputs& in) { in.servoFrequencyIndex = 0; }, 18, 0x37},
      {"volt alert", [](ParameterInputs& in) { in.voltAlertIndex = 3; }, 18, 0xFF},
      {"vertical speed", [](ParameterInputs& in) { in.verticalSpeedIndex = 2; }, 19, 250},
      {"vertical speed off the list", [](ParameterInputs& in) { in.verticalSpeedIndex = 7; }, 19, 7},
  };
  for (const auto& e : edits) {
    SCOPED_TRACE(e.what);
    ParameterInputs in = base;
    e.edit(in);
    const ParameterBlock after = BuildOk(in, s);
    for (std::size_t i = 0; i < 20; ++i)
      EXPECT_EQ(after[i], i == e.byte ? e.value : before[i]) << "byte " << i;
  }
}

TEST(ParameterCodec, MaximumSpeed) {
  const struct {
    int code;
    int index;
    const char* shown;  // "" = field hidden
    int sentBack;
  } cases[] = {{90, 0, "", 90},       {120, 1, "", 120},    {150, 2, "", 150},  {200, 3, "", 200},
               {255, 4, "", 255},     {125, 5, "5.0", 125}, {93, 5, "3.7", 92}, {0, 5, "0.0", 0},
               {254, 5, "10.2", 255}, {94, 5, "3.8", 95},   {1, 5, "0.0", 0},   {91, 5, "3.6", 90}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    const Bytes s = test::Parameters({{32, static_cast<std::uint8_t>(c.code)}});
    const ParameterView v = DecodeOk(s);
    EXPECT_EQ(v.maxSpeedIndex, c.index);
    EXPECT_EQ(v.userSpeedShown, *c.shown != 0);
    EXPECT_EQ(v.userSpeedText, c.shown);
    EXPECT_EQ(BuildOk(Inputs(v), s)[15], c.sentBack);
  }
}

TEST(ParameterCodec, UserSpeedIsReadAsADecimalNumber) {
  const struct {
    const char* text;
    int code;  // -1 = refused
  } cases[] = {{"0", 0},
               {"3.7", 92},
               {"5.0", 125},
               {"5", 125},
               {"10.2", 255},
               {"10.20", 255},
               {" 4.8 ", 120},
               {".5", 12},
               {"5.", 125},
               {"0.04", 1},
               {"0.0399999999999", 0},
               {"-0", 0},
               {"+6", 150},
               {"8.0", 200},
               {"3.6", 90},
               {"10.2000000001", -1},
               {"10.3", -1},
               {"11", -1},
               {"-1", -1},
               {"-0.1", -1},
               {"", -1},
               {"abc", -1},
               {"1.2.3", -1},
               {"12x", -1},
               {".", -1},
               {"1e1", -1},
               {"99999999999999999999", -1},
               {"3,7", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<int> code = ParseUserSpeedCode(c.text);
    if (c.code < 0) {
      EXPECT_FALSE(code.has_value());
    } else {
      EXPECT_EQ(code, c.code);
    }
  }
}

TEST(ParameterCodec, ListSelections) {
  // Vertical speed and fail-safe codes off their lists leave the lists alone.
  const struct {
    std::uint8_t vertical, failSafe;
    std::optional<int> verticalIndex, failSafeIndex;
  } cases[] = {{100, 80, 0, 0}, {200, 81, 1, 1}, {250, 82, 2, 2}, {150, 83, {}, {}}, {0, 79, {}, {}}};
  for (const auto& c : cases) {
    const ParameterView v = DecodeOk(test::Parameters({{9, c.vertical}, {7, c.failSafe}}));
    EXPECT_EQ(v.verticalSpeedIndex, c.verticalIndex) << int{c.vertical};
    EXPECT_EQ(v.failSafeIndex, c.failSafeIndex) << int{c.failSafe};
  }
  // Aircraft type: index = code below 9, else 9; index 9 goes back as 10.
  for (auto [code, index] : {std::pair{0, 0}, {3, 3}, {8, 8}, {9, 9}, {10, 9}, {200, 9}}) {
    const ParameterView v = DecodeOk(test::Parameters({{34, static_cast<std::uint8_t>(code)}}));
    EXPECT_EQ(v.aircraftTypeIndex, index) << code;
    EXPECT_EQ(v.aircraftTypeCodeText, std::to_string(code));
  }
  const Bytes ten = test::Parameters({{34, 10}});
  ParameterInputs in = Inputs(DecodeOk(ten));
  in.aircraftTypeIndex = 9;
  EXPECT_EQ(BuildOk(in, ten)[9], 10);
  // A list that cannot show the value has no selection: the controller's value stays.
  in.aircraftTypeIndex = -1;
  EXPECT_EQ(BuildOk(in, test::Parameters({{34, 200}}))[9], 200);
  in.servoFrequencyIndex = in.voltAlertIndex = in.failSafeIndex = in.verticalSpeedIndex = in.maxSpeedIndex =
      -1;
  const ParameterBlock kept = BuildOk(in, test::Parameters({{43, 0x9A}, {7, 90}, {9, 33}, {32, 77}}));
  EXPECT_EQ(kept[18], 0x9A);
  EXPECT_EQ(kept[0], 90);
  EXPECT_EQ(kept[19], 33);
  EXPECT_EQ(kept[15], 77);
}

TEST(ParameterCodec, BitFieldsAndSignedBytes) {
  const Bytes s = test::Parameters({{43, 0xC4}, {17, 200}, {23, 128}, {5, 0xA7}});
  const ParameterView v = DecodeOk(s);
  EXPECT_EQ(v.servoFrequencyIndex, 3);  // 400Hz
  EXPECT_EQ(v.voltAlertIndex, 1);       // 3.60 V
  EXPECT_EQ(v.gimbalRollText, "-56");
  EXPECT_EQ(v.gimbalPitchText, "128");
  EXPECT_EQ(v.cellCountText, "7");
  const ParameterBlock b = BuildOk(Inputs(v), s);
  EXPECT_EQ(b[18], 0xC4);
  EXPECT_EQ(b[12], 200);
  EXPECT_EQ(b[13], 128);
  EXPECT_EQ(b[6], 0xA7);
  EXPECT_EQ(GimbalFromByte(129), -127);
  EXPECT_EQ(GimbalFromByte(255), -1);
  EXPECT_EQ(GimbalFromByte(0), 0);
}

TEST(ParameterCodec, LimitsAndOtherTexts) {
  const Bytes s = test::Parameters({{25, 123}, {28, 150}, {33, 7}, {38, 255}, {24, 0}});
  const ParameterView v = DecodeOk(s);
  EXPECT_EQ(v.altitudeLimit, 1230);
  EXPECT_EQ(v.distanceLimit, 1500);
  EXPECT_EQ(v.swayCompensationText, "7");
  EXPECT_EQ(v.rollSensitivityText, "255");
  EXPECT_EQ(v.pitchSensitivityText, "0");
  ParameterInputs in = Inputs(v);
  in.altitudeLimitText = "1234";
  const BuildResult r = BuildParameterBlock(in, Kept(s), true);
  ASSERT_TRUE(std::holds_alternative<BuiltParameters>(r));
  EXPECT_EQ(std::get<BuiltParameters>(r).block[16], 123);
  EXPECT_EQ(std::get<BuiltParameters>(r).altitudeLimit, 1234);
  EXPECT_EQ(std::get<BuiltParameters>(r).distanceLimit, 1500);
}

TEST(ParameterCodec, BadSumDecodesNothing) {
  Bytes s = Distinct();
  s[44] ^= 1;
  EXPECT_FALSE(DecodeParameterSentence(s.data()).has_value());
}

TEST(ParameterCodec, Refusals) {
  using Kind = ParameterRefusal::Kind;
  const Bytes s = Distinct();
  const ParameterInputs good = Inputs(DecodeOk(s));
  const struct {
    const char* what;
    void (*edit)(ParameterInputs&);
    Kind kind;
    ParameterField field;
    int label;
    const char* lowest;
    const char* highest;
  } cases[] = {
      {"altitude 1501", [](ParameterInputs& in) { in.altitudeLimitText = "1501"; }, Kind::AltitudeLimit,
       ParameterField::AltitudeLimit, 1249, "0", "1500"},
      {"altitude -1", [](ParameterInputs& in) { in.altitudeLimitText = "-1"; }, Kind::AltitudeLimit,
       ParameterField::AltitudeLimit, 1249, "0", "1500"},
      {"altitude first",
       [](ParameterInputs& in) {
         in.altitudeLimitText = "x";
         in.distanceLimitText = "2000";
       },
       Kind::AltitudeLimit, ParameterField::AltitudeLimit, 1249, "0", "1500"},
      {"distance empty", [](ParameterInputs& in) { in.distanceLimitText = ""; }, Kind::DistanceLimit,
       ParameterField::DistanceLimit, 1247, "0", "1500"},
      {"distance 1501", [](ParameterInputs& in) { in.distanceLimitText = "1501"; }, Kind::DistanceLimit,
       ParameterField::DistanceLimit, 1247, "0", "1500"},
      {"limits before the rest",
       [](ParameterInputs& in) {
         in.distanceLimitText = "1501";
         in.rollSensitivityText = "";
       },
       Kind::DistanceLimit, ParameterField::DistanceLimit, 1247, "0", "1500"},
      {"roll 300", [](ParameterInputs& in) { in.rollSensitivityText = "300"; }, Kind::Range,
       ParameterField::RollSensitivity, 1232, "0", "255"},
      {"roll empty", [](ParameterInputs& in) { in.rollSensitivityText = ""; }, Kind::Range,
       ParameterField::RollSensitivity, 1232, "0", "255"},
      {"pitch abc", [](ParameterInputs& in) { in.pitchSensitivityText = "abc"; }, Kind::Range,
       ParameterField::PitchSensitivity, 1251, "0", "255"},
      {"sway 12x", [](ParameterInputs& in) { in.swayCompensationText = "12x"; }, Kind::Range,
       ParameterField::SwayCompensation, 1243, "0", "255"},
      {"sway -1", [](ParameterInputs& in) { in.swayCompensationText = "-1"; }, Kind::Range,
       ParameterField::SwayCompensation, 1243, "0", "255"},
      {"gimbal roll -128", [](ParameterInputs& in) { in.gimbalRollText = "-128"; }, Kind::Range,
       ParameterField::GimbalRoll, 1234, "-127", "128"},
      {"gimbal pitch 129", [](ParameterInputs& in) { in.gimbalPitchText = "129"; }, Kind::Range,
       ParameterField::GimbalPitch, 1244, "-127", "128"},
      {"cell count 17", [](ParameterInputs& in) { in.cellCountText = "17"; }, Kind::Range,
       ParameterField::CellCount, 1245, "0", "15"},
      {"user speed 10.3", [](ParameterInputs& in) { in.userSpeedText = "10.3"; }, Kind::Range,
       ParameterField::UserSpeed, 1238, "0", "10.2"},
      {"user speed empty", [](ParameterInputs& in) { in.userSpeedText = ""; }, Kind::Range,
       ParameterField::UserSpeed, 1238, "0", "10.2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ParameterInputs in = good;
    c.edit(in);
    const BuildResult r = BuildParameterBlock(in, Kept(s), true);
    ASSERT_TRUE(std::holds_alternative<ParameterRefusal>(r));
    const ParameterRefusal& refusal = std::get<ParameterRefusal>(r);
    EXPECT_EQ(refusal.kind, c.kind);
    EXPECT_EQ(refusal.field, c.field);
    EXPECT_EQ(LabelControlOf(refusal.field), c.label);
    EXPECT_EQ(refusal.lowest, c.lowest);
    EXPECT_EQ(refusal.highest, c.highest);
  }

  // The user-defined field counts only while "user-defined" is chosen.
  ParameterInputs listed = good;
  listed.maxSpeedIndex = 1;
  listed.userSpeedText = "junk";
  EXPECT_EQ(BuildOk(listed, s)[15], 120);

  // Nothing is built before a valid sentence, however good the fields.
  const BuildResult early = BuildParameterBlock(good, Kept(s), false);
  ASSERT_TRUE(std::holds_alternative<ParameterRefusal>(early));
  EXPECT_EQ(std::get<ParameterRefusal>(early).kind, Kind::ReadFirst);
  EXPECT_EQ(std::get<ParameterRefusal>(early).LanguageKey(), "LID_HINT_READFIRST");
}

TEST(ParameterCodec, RefusalTexts) {
  ParameterRefusal r;
  r.kind = ParameterRefusal::Kind::Range;
  r.field = ParameterField::RollSensitivity;
  r.lowest = "0";
  r.highest = "255";
  EXPECT_EQ(r.LanguageKey(), "LID_HINT_RANGE");
  EXPECT_EQ(FormatRangeRefusal("%1 must be a number from %2 to %3.", "Roll Sensitivity", r),
            "Roll Sensitivity must be a number from 0 to 255.");
  EXPECT_EQ(FormatRangeRefusal("%3%%2 100% %4 %", "x", r), "255%0 100% %4 %");
  r.kind = ParameterRefusal::Kind::AltitudeLimit;
  EXPECT_EQ(r.LanguageKey(), "LID_HINT_ALT");
  r.kind = ParameterRefusal::Kind::DistanceLimit;
  EXPECT_EQ(r.LanguageKey(), "LID_HINT_DIS");
  EXPECT_EQ(EditControlOf(ParameterField::UserSpeed), 1158);
  EXPECT_EQ(EditControlOf(ParameterField::CellCount), 1149);
}

TEST(ParameterCodec, ParseInteger) {
  EXPECT_EQ(ParseInteger("12"), 12);
  EXPECT_EQ(ParseInteger(" -7\t"), -7);
  EXPECT_EQ(ParseInteger("+0"), 0);
  for (const char* bad : {"", " ", "-", "+", "1 2", "12x", "x12", "1.0", "99999999999999999999999"}) {
    EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace apdesk
