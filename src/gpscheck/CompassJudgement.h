#pragma once
// Judges the compass from the headings seen while the operator turns the
// aircraft clockwise. The history outlives one opening of the check window,
// so a reopened window can decide at its first sentence.

#include <cstdint>
#include <deque>

namespace apdesk {

enum CompassResult : std::int32_t { kCompassUndecided = 0, kCompassGood = 1, kCompassWrong = 2 };

inline constexpr std::size_t kHeadingHistorySize = 10;

class CompassJudgement {
 public:
  // Takes one heading in degrees and returns the new result. Until more than
  // kHeadingHistorySize headings have been seen the result stays undecided.
  std::int32_t AddHeading(float degrees);

  std::int32_t Result() const { return m_result; }
  const std::deque<std::int32_t>& History() const { return m_history; }

  // Whole degrees, truncated toward zero. A value that is no number gives 0
  // and one beyond the 32-bit range its nearest end, rather than an
  // undefined conversion.
  static std::int32_t WholeDegrees(float degrees);

 private:
  std::int32_t m_result = kCompassUndecided;
  std::deque<std::int32_t> m_history;
};

// The verdict shown for a result, UTF-8: "良好", "错误" or the request to turn.
// The window shows it where the language file has no text for the result.
const char* CompassResultText(std::int32_t result);

// The language-file key of a result's verdict: "LID_GPS_GOOD", "LID_GPS_WRONG"
// or "LID_GPS_TURN".
const char* CompassResultKey(std::int32_t result);

}  // namespace apdesk
