#pragma once
// Cuts the tool's outbound byte stream into 30-byte command frames. Frames
// may straddle 64-byte reports and be followed by the zero padding of the
// last report; anything that starts no frame is skipped.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/SimWire.h"

namespace apdesk::sim {

using CommandFrame = std::array<std::uint8_t, kFrameSize>;

class FrameReader {
 public:
  void Append(const std::uint8_t* data, std::size_t size);

  // Takes the next whole frame; false when more bytes are needed first.
  bool Next(CommandFrame& frame);

  // Non-zero bytes skipped so far (zeros are report padding, not garbage).
  std::uint64_t SkippedBytes() const { return m_skipped; }
  std::size_t Pending() const { return m_buffer.size() - m_head; }

 private:
  void Drop(std::size_t n);

  std::vector<std::uint8_t> m_buffer;
  std::size_t m_head = 0;
  std::uint64_t m_skipped = 0;
};

}  // namespace apdesk::sim
