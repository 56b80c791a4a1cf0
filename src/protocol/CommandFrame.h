#pragma once
// The fixed 30-byte frames sent to the controller. Every frame starts with a
// five-letter ASCII header; bytes a frame does not set are 0.

#include <array>
#include <cstdint>

namespace apdesk {

inline constexpr std::uint8_t CMD_GET_PARAMS = 0x68;        // "h"
inline constexpr std::uint8_t CMD_SET_PARAMS = 0x73;        // "s"
inline constexpr std::uint8_t CMD_CALIBRATE_STICKS = 0x75;  // "u"
inline constexpr std::uint8_t CMD_CAPTURE_INSTALL_ERROR = 0xFE;

inline constexpr std::size_t kCommandFrameSize = 30;
inline constexpr std::size_t kParameterBlockSize = 20;

using CommandFrame = std::array<std::uint8_t, kCommandFrameSize>;

// "$WIFI" with CMD_GET_PARAMS in bytes 5, 6 and 7.
CommandFrame BuildGetParametersFrame();

// "$WIFI" with the code repeated in bytes 5, 6 and 7.
CommandFrame BuildCommandFrame(std::uint8_t code);

// "$WIFI", CMD_SET_PARAMS in bytes 5 and 6, the block in bytes 7-26, and the
// sums (mod 256) of block bytes 0-6, 7-13 and 14-19 in bytes 27, 28, 29.
CommandFrame BuildSetParametersFrame(const std::array<std::uint8_t, kParameterBlockSize>& block);

// "$HFMR", "$CMAG" and "$QMAG" with an all-zero body.
CommandFrame BuildRestoreDefaultsFrame();
CommandFrame BuildCompassCheckOnFrame();
CommandFrame BuildCompassCheckOffFrame();

}  // namespace apdesk
