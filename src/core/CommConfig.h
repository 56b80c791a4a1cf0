#pragma once
// The serial configuration record kept under [Settings1] COMCONF: a 52-byte
// little-endian record that holds the 28-byte line-settings block (DCB) at
// offset 8, laid out as the Windows serial API defines both.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace apdesk {

inline constexpr std::size_t kCommConfigSize = 52;
inline constexpr std::size_t kDcbOffset = 8;
inline constexpr std::size_t kDcbSize = 28;

// 115200 baud, 8 data bits, no parity, one stop bit, no flow control, DTR on.
std::array<std::uint8_t, kCommConfigSize> DefaultCommConfig();

// The default record with the first min(n, 52) stored bytes copied over it;
// the default alone when nothing is stored.
std::array<std::uint8_t, kCommConfigSize> OverlayCommConfig(
    const std::optional<std::vector<std::uint8_t>>& stored);

struct LineSettings {
  std::uint32_t baudRate;
  std::uint8_t dataBits;
  std::uint8_t parity;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t stopBits;  // 0 one, 1 one and a half, 2 two
  bool outxCtsFlow;
  bool outxDsrFlow;
  bool outX;
  bool inX;
  std::uint8_t dtrControl;  // 0 disable, 1 enable, 2 handshake
  std::uint8_t rtsControl;  // 0 disable, 1 enable, 2 handshake, 3 toggle
};

// The fields as stored; nothing is checked or corrected here.
LineSettings DecodeLineSettings(const std::array<std::uint8_t, kCommConfigSize>& record);

// The line settings a port opens with: the stored "COMCONF" record laid over
// the defaults (nullopt: the defaults alone).
LineSettings LineSettingsFromStored(const std::optional<std::vector<std::uint8_t>>& stored);

}  // namespace apdesk
