// The tool's codec against the simulated controller: what the controller
// reports, decoded and rebuilt, must write back exactly what it holds. The
// two sides share no code, so a mistake on either shows up here.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <variant>
#include <vector>

#include "protocol/CommandFrame.h"
#include "protocol/ParameterCodec.h"
#include "protocol/SentenceParser.h"
#include "sim/SimController.h"

namespace apdesk {
namespace {

class ParameterCatcher : public SentenceSink {
 public:
  void OnParameterSentence(const std::uint8_t* s) override {
    last.assign(s, s + kParameterSentenceLength);
    ++count;
  }
  std::vector<std::uint8_t> last;
  int count = 0;
};

class ParameterRoundTrip : public ::testing::Test {
 protected:
  ParameterRoundTrip() : m_sim(Options()) {}

  static sim::SimOptions Options() {
    sim::SimOptions o;
    o.rateHz = 1.0;  // a little telemetry around the answer, as on the wire
    return o;
  }

  // Writes a frame as the HID link does (zero-padded 64-byte report) and
  // collects what the controller sends back.
  void Send(const CommandFrame& frame) {
    std::uint8_t report[64] = {};
    std::copy(frame.begin(), frame.end(), report);
    m_now += 10;
    m_sim.Write(report, sizeof report, m_now);
    m_sim.Advance(m_now);
    std::uint8_t in[64];
    while (m_sim.TakeReport(in)) m_parser.Append(in, sizeof in);
    m_parser.ParseSentences(m_catcher);
  }

  ParameterView ReadParameters() {
    const int before = m_catcher.count;
    Send(BuildGetParametersFrame());
    EXPECT_EQ(m_catcher.count, before + 1) << "the controller did not answer get-parameters";
    const std::optional<ParameterView> view = DecodeParameterSentence(m_catcher.last.data());
    EXPECT_TRUE(view.has_value()) << "the controller's sentence failed its sum";
    return view.value_or(ParameterView{});
  }

  sim::SimController m_sim;
  SentenceParser m_parser;
  ParameterCatcher m_catcher;
  std::int64_t m_now = 0;
};

TEST_F(ParameterRoundTrip, UnchangedSendLeavesTheControllerAsItWas) {
  const sim::ParameterSentence before = m_sim.Parameters();
  const ParameterView view = ReadParameters();
  const ParameterInputs inputs = InputsFromView(view, ParameterInputs{});
  const BuildResult built = BuildParameterBlock(inputs, view.sentence, true);
  ASSERT_TRUE(std::holds_alternative<BuiltParameters>(built));
  Send(BuildSetParametersFrame(std::get<BuiltParameters>(built).block));
  EXPECT_EQ(m_sim.Parameters(), before);
}

TEST_F(ParameterRoundTrip, ChangingOneValueChangesOnlyItsOwnBytes) {
  struct Case {
    const char* what;
    void (*edit)(ParameterInputs&);
    std::vector<int> offsets;  // "$PAR" bytes allowed to change (the sum always may)
  };
  const Case cases[] = {
      {"roll sensitivity", [](ParameterInputs& in) { in.rollSensitivityText = "201"; }, {38}},
      {"gimbal pitch", [](ParameterInputs& in) { in.gimbalPitchText = "-100"; }, {23}},
      {"cell count", [](ParameterInputs& in) { in.cellCountText = "6"; }, {5}},
      {"altitude limit", [](ParameterInputs& in) { in.altitudeLimitText = "1230"; }, {25}},
      {"servo frequency", [](ParameterInputs& in) { in.servoFrequencyIndex = 3; }, {43}},
      {"user speed", [](ParameterInputs& in) { in.maxSpeedIndex = 5, in.userSpeedText = "3.7"; }, {32}},
      {"fail-safe", [](ParameterInputs& in) { in.failSafeIndex = 2; }, {7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const sim::ParameterSentence before = m_sim.Parameters();
    const ParameterView view = ReadParameters();
    ParameterInputs inputs = InputsFromView(view, ParameterInputs{});
    c.edit(inputs);
    const BuildResult built = BuildParameterBlock(inputs, view.sentence, true);
    ASSERT_TRUE(std::holds_alternative<BuiltParameters>(built));
    Send(BuildSetParametersFrame(std::get<BuiltParameters>(built).block));
    const sim::ParameterSentence after = m_sim.Parameters();
    int changed = 0;
    for (int i = 0; i < 44; ++i) {
      const bool allowed = std::find(c.offsets.begin(), c.offsets.end(), i) != c.offsets.end();
      if (!allowed) {
        EXPECT_EQ(after[i], before[i]) << "byte " << i << " changed";
      }
      if (after[i] != before[i]) ++changed;
    }
    EXPECT_EQ(changed, 1) << "the edit did not reach the controller";
  }
}

TEST_F(ParameterRoundTrip, ReadBackShowsWhatWasWritten) {
  ParameterView view = ReadParameters();
  ParameterInputs inputs = InputsFromView(view, ParameterInputs{});
  inputs.altitudeLimitText = "1234";  // kept in steps of ten
  inputs.maxSpeedIndex = 5;
  inputs.userSpeedText = "5.0";
  const BuildResult built = BuildParameterBlock(inputs, view.sentence, true);
  ASSERT_TRUE(std::holds_alternative<BuiltParameters>(built));
  Send(BuildSetParametersFrame(std::get<BuiltParameters>(built).block));
  view = ReadParameters();
  EXPECT_EQ(view.altitudeLimit, 1230);
  EXPECT_EQ(view.maxSpeedIndex, 5);
  EXPECT_EQ(view.userSpeedText, "5.0");
}

}  // namespace
}  // namespace apdesk
