#include "gpscheck/CompassJudgement.h"

#include <cmath>
#include <limits>

namespace apdesk {

std::int32_t CompassJudgement::WholeDegrees(float degrees) {
  if (std::isnan(degrees)) return 0;
  if (degrees >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
  if (degrees <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(degrees);
}

std::int32_t CompassJudgement::AddHeading(float degrees) {
  m_result = kCompassUndecided;
  m_history.push_back(WholeDegrees(degrees));
  if (m_history.size() > kHeadingHistorySize) {
    m_history.pop_front();
    int rises = 0, falls = 0;
    for (std::size_t i = 1; i < m_history.size(); ++i) {
      if (m_history[i] > m_history[i - 1]) ++rises;
      if (m_history[i] < m_history[i - 1]) ++falls;
    }
    // No wrap-around: a step from 359 to 0 counts as a fall.
    if (rises >= 7)
      m_result = kCompassGood;
    else if (falls >= 7)
      m_result = kCompassWrong;
  }
  return m_result;
}

const char* CompassResultText(std::int32_t result) {
  switch (result) {
    case kCompassGood:
      return "良好";
    case kCompassWrong:
      return "错误";
    default:
      return "请顺时针转动。。。";
  }
}

const char* CompassResultKey(std::int32_t result) {
  switch (result) {
    case kCompassGood:
      return "LID_GPS_GOOD";
    case kCompassWrong:
      return "LID_GPS_WRONG";
    default:
      return "LID_GPS_TURN";
  }
}

}  // namespace apdesk
