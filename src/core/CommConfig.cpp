#include "core/CommConfig.h"

#include <algorithm>

namespace apdesk {
namespace {

// Offsets inside the whole record (the DCB starts at kDcbOffset).
constexpr std::size_t kBaudRate = kDcbOffset + 4;
constexpr std::size_t kFlags = kDcbOffset + 8;
constexpr std::size_t kXonLim = kDcbOffset + 14;
constexpr std::size_t kXoffLim = kDcbOffset + 16;
constexpr std::size_t kByteSize = kDcbOffset + 18;
constexpr std::size_t kParity = kDcbOffset + 19;
constexpr std::size_t kStopBits = kDcbOffset + 20;
constexpr std::size_t kXonChar = kDcbOffset + 21;
constexpr std::size_t kXoffChar = kDcbOffset + 22;

void Put16(std::array<std::uint8_t, kCommConfigSize>& r, std::size_t at, std::uint16_t v) {
  r[at] = static_cast<std::uint8_t>(v);
  r[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::array<std::uint8_t, kCommConfigSize>& r, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) r[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const std::array<std::uint8_t, kCommConfigSize>& r, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(r[at + i]) << (8 * i);
  return v;
}

}  // namespace

std::array<std::uint8_t, kCommConfigSize> DefaultCommConfig() {
  std::array<std::uint8_t, kCommConfigSize> r{};
  Put32(r, 0, kCommConfigSize);  // record size
  Put16(r, 4, 1);                // version
  Put32(r, kDcbOffset, kDcbSize);
  Put32(r, kBaudRate, 115200);
  Put32(r, kFlags, 0x11);  // binary mode, DTR held on
  Put16(r, kXonLim, 2048);
  Put16(r, kXoffLim, 512);
  r[kByteSize] = 8;
  r[kParity] = 0;
  r[kStopBits] = 0;
  r[kXonChar] = 0x11;
  r[kXoffChar] = 0x13;
  return r;
}

std::array<std::uint8_t, kCommConfigSize> OverlayCommConfig(
    const std::optional<std::vector<std::uint8_t>>& stored) {
  std::array<std::uint8_t, kCommConfigSize> r = DefaultCommConfig();
  if (stored) {
    const std::size_t n = std::min(stored->size(), kCommConfigSize);
    std::copy_n(stored->begin(), n, r.begin());
  }
  return r;
}

LineSettings DecodeLineSettings(const std::array<std::uint8_t, kCommConfigSize>& record) {
  const std::uint32_t flags = Get32(record, kFlags);
  LineSettings s{};
  s.baudRate = Get32(record, kBaudRate);
  s.dataBits = record[kByteSize];
  s.parity = record[kParity];
  s.stopBits = record[kStopBits];
  s.outxCtsFlow = (flags >> 2) & 1u;
  s.outxDsrFlow = (flags >> 3) & 1u;
  s.dtrControl = static_cast<std::uint8_t>((flags >> 4) & 3u);
  s.outX = (flags >> 8) & 1u;
  s.inX = (flags >> 9) & 1u;
  s.rtsControl = static_cast<std::uint8_t>((flags >> 12) & 3u);
  return s;
}

LineSettings LineSettingsFromStored(const std::optional<std::vector<std::uint8_t>>& stored) {
  return DecodeLineSettings(OverlayCommConfig(stored));
}

}  // namespace apdesk
