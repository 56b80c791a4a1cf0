#include "sim/FrameReader.h"

#include <algorithm>
#include <cstring>

namespace apdesk::sim {
namespace {

constexpr std::array<const char*, 4> kHeaders = {"$WIFI", "$HFMR", "$CMAG", "$QMAG"};
constexpr std::size_t kHeaderSize = 5;

// 0: no header can start here; 1: a header may, more bytes needed; 2: one does.
int MatchHeader(const std::uint8_t* p, std::size_t available) {
  const std::size_t n = std::min(available, kHeaderSize);
  for (const char* h : kHeaders) {
    if (std::memcmp(p, h, n) == 0) return n == kHeaderSize ? 2 : 1;
  }
  return 0;
}

}  // namespace

void FrameReader::Append(const std::uint8_t* data, std::size_t size) {
  // Compact once the consumed front outweighs what is left.
  if (m_head > 0 && m_head >= m_buffer.size() - m_head) {
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_head));
    m_head = 0;
  }
  m_buffer.insert(m_buffer.end(), data, data + size);
}

void FrameReader::Drop(std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (m_buffer[m_head + i] != 0) ++m_skipped;
  }
  m_head += n;
}

bool FrameReader::Next(CommandFrame& frame) {
  while (Pending() > 0) {
    const std::uint8_t* p = m_buffer.data() + m_head;
    const std::size_t available = Pending();
    if (p[0] != '$') {
      const void* dollar = std::memchr(p, '$', available);
      Drop(dollar == nullptr ? available
                             : static_cast<std::size_t>(static_cast<const std::uint8_t*>(dollar) - p));
      continue;
    }
    const int match = MatchHeader(p, available);
    if (match == 0) {
      Drop(1);
      continue;
    }
    if (match == 1 || available < kFrameSize) return false;
    std::memcpy(frame.data(), p, kFrameSize);
    m_head += kFrameSize;
    return true;
  }
  return false;
}

}  // namespace apdesk::sim
