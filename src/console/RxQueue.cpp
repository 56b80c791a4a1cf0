#include "console/RxQueue.h"

#include <algorithm>
#include <cstring>

namespace apdesk {

void RxQueue::Append(const std::uint8_t* bytes, std::size_t length) {
  if (length == 0) return;
  // Move the live bytes down only when the dead front is at least as large as
  // them: each byte is then moved at most once per doubling of the stream.
  if (m_head > 0 && m_head >= Size()) Compact();
  m_bytes.insert(m_bytes.end(), bytes, bytes + length);
}

void RxQueue::Drop(std::size_t count) {
  m_head += std::min(count, Size());
  if (m_head == m_bytes.size()) {
    // Empty: start again at the front; clear() keeps the capacity.
    m_bytes.clear();
    m_head = 0;
  }
}

void RxQueue::Take(std::uint8_t* dest, std::size_t length) {
  length = std::min(length, Size());
  if (length > 0) std::memcpy(dest, Data(), length);
  Drop(length);
}

std::size_t RxQueue::DropUntil(std::uint8_t value) {
  const std::size_t size = Size();
  if (size == 0) return 0;
  const void* hit = std::memchr(Data(), value, size);
  const std::size_t count = hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - Data()) : size;
  Drop(count);
  return count;
}

void RxQueue::Clear() {
  m_bytes.clear();
  m_head = 0;
}

void RxQueue::Compact() {
  const std::size_t size = Size();
  if (size > 0) std::memmove(m_bytes.data(), m_bytes.data() + m_head, size);
  m_bytes.resize(size);
  m_head = 0;
}

}  // namespace apdesk
