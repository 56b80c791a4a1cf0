#include "console/ConnectionStatusText.h"

#include <cstdio>

namespace apdesk {

namespace {

// The text with "%1" (and "%2") replaced; a text that lacks one simply
// does not show that value.
std::string Fill(std::string text, const std::string& first, const std::string& second = {}) {
  for (const auto& [mark, value] :
       {std::pair<const char*, const std::string*>{"%1", &first}, {"%2", &second}}) {
    const std::size_t at = text.find(mark);
    if (at != std::string::npos) text.replace(at, 2, *value);
  }
  return text;
}

std::string OneDecimal(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

}  // namespace

std::string FormatConnectionStatus(const ConnectionState& state, const TextLookup& lookup) {
  switch (state.kind) {
    case ConnectionState::Kind::NotConnected:
      return lookup("LID_LINK_NONE");
    case ConnectionState::Kind::Waiting:
      return lookup("LID_LINK_WAITING");
    case ConnectionState::Kind::Lost:
      return Fill(lookup("LID_LINK_LOST"), state.lostSince, state.device);
    case ConnectionState::Kind::Replaying: {
      const ConnectionState::Replay& r = state.replay;
      char speed[32];
      std::snprintf(speed, sizeof speed, "%g", r.speed);
      std::string line = Fill(lookup("LID_LINK_REPLAY"), r.file, speed);
      line += "  |  " + Fill(lookup("LID_LINK_REPLAY_AT"), std::to_string(r.records),
                             r.flightTime.empty() ? "-" : r.flightTime);
      if (r.finished) {
        line += "  |  " + lookup("LID_LINK_REPLAY_END");
      } else if (r.paused) {
        line += "  |  " + lookup("LID_LINK_REPLAY_PAUSED");
      }
      return line;
    }
    case ConnectionState::Kind::Usb:
    case ConnectionState::Kind::Serial:
      break;
  }
  const std::string separator = "  |  ";
  std::string line = state.kind == ConnectionState::Kind::Usb
                         ? Fill(lookup("LID_LINK_USB"), state.device)
                         : Fill(lookup("LID_LINK_SERIAL"), state.device, std::to_string(state.baud));
  line += separator + Fill(lookup("LID_LINK_RATE"), OneDecimal(state.recordsPerSecond));
  // A port that is no controller (one that echoes, /dev/null) never sends a
  // record: after a few seconds that is said, not "no record yet" for ever.
  if (state.lastRecordAgeMs < 0 && state.connectedMs >= kNoAnswerAfterMs)
    line += separator + Fill(lookup("LID_LINK_NO_ANSWER"), state.device);
  else
    line += separator + (state.lastRecordAgeMs < 0
                             ? lookup("LID_LINK_NO_RECORD")
                             : Fill(lookup("LID_LINK_AGE"), OneDecimal(state.lastRecordAgeMs / 1000.0)));
  line += separator + Fill(lookup("LID_LINK_BAD_SUMS"), std::to_string(state.badSums));
  return line;
}

}  // namespace apdesk
