#include "protocol/CommandFrame.h"

#include <algorithm>
#include <cstring>

#include "protocol/ByteSum.h"

namespace apdesk {
namespace {

CommandFrame WithHeader(const char (&header)[6]) {
  CommandFrame frame{};
  std::memcpy(frame.data(), header, 5);
  return frame;
}

}  // namespace

CommandFrame BuildCommandFrame(std::uint8_t code) {
  CommandFrame frame = WithHeader("$WIFI");
  frame[5] = frame[6] = frame[7] = code;
  return frame;
}

CommandFrame BuildGetParametersFrame() {
  return BuildCommandFrame(CMD_GET_PARAMS);
}

CommandFrame BuildSetParametersFrame(const std::array<std::uint8_t, kParameterBlockSize>& block) {
  CommandFrame frame = WithHeader("$WIFI");
  frame[5] = frame[6] = CMD_SET_PARAMS;
  std::copy(block.begin(), block.end(), frame.begin() + 7);
  frame[27] = ByteSum(&frame[7], 7);
  frame[28] = ByteSum(&frame[14], 7);
  frame[29] = ByteSum(&frame[21], 6);
  return frame;
}

CommandFrame BuildRestoreDefaultsFrame() {
  return WithHeader("$HFMR");
}
CommandFrame BuildCompassCheckOnFrame() {
  return WithHeader("$CMAG");
}
CommandFrame BuildCompassCheckOffFrame() {
  return WithHeader("$QMAG");
}

}  // namespace apdesk
