#include "protocol/RxQueue.h"

#include <algorithm>
#include <utility>

#if defined(APDESK_RXQUEUE_POISONS)
#include <sanitizer/asan_interface.h>
#endif

namespace apdesk {

namespace {

// The first storage: a few sentences, so a usual stream never grows it.
constexpr std::size_t kFirstStorage = 256;

}  // namespace

RxQueue::RxQueue(const RxQueue& other) {
  Append(other.Data(), other.Size());
}

RxQueue& RxQueue::operator=(const RxQueue& other) {
  if (this != &other) {
    Clear();
    Append(other.Data(), other.Size());
  }
  return *this;
}

RxQueue::RxQueue(RxQueue&& other) noexcept
    : m_bytes(std::move(other.m_bytes)), m_head(other.m_head), m_tail(other.m_tail) {
  other.m_bytes.clear();
  other.m_head = other.m_tail = 0;
}

RxQueue& RxQueue::operator=(RxQueue&& other) noexcept {
  if (this != &other) {
    Unpoison();
    m_bytes = std::move(other.m_bytes);
    m_head = other.m_head;
    m_tail = other.m_tail;
    other.m_bytes.clear();
    other.m_head = other.m_tail = 0;
  }
  return *this;
}

RxQueue::~RxQueue() {
  Unpoison();
}

void RxQueue::Unpoison() {
#if defined(APDESK_RXQUEUE_POISONS)
  if (!m_bytes.empty()) ASAN_UNPOISON_MEMORY_REGION(m_bytes.data(), m_bytes.size());
#endif
}

void RxQueue::PoisonOutsideLiveBytes() {
#if defined(APDESK_RXQUEUE_POISONS)
  if (m_bytes.empty()) return;
  ASAN_POISON_MEMORY_REGION(m_bytes.data(), m_head);
  ASAN_POISON_MEMORY_REGION(m_bytes.data() + m_tail, m_bytes.size() - m_tail);
#endif
}

void RxQueue::AppendSlow(const std::uint8_t* bytes, std::size_t length) {
  if (length == 0) return;
  Unpoison();  // the vector may copy the whole storage when it grows
  const std::size_t size = Size();
  if (length > m_bytes.size() - m_tail && m_head > 0 && m_head >= size) {
    // The dead front is at least as large as the live bytes: each byte is
    // then moved at most once per doubling of the stream.
    if (size > 0) std::memmove(m_bytes.data(), m_bytes.data() + m_head, size);
    m_head = 0;
    m_tail = size;
  }
  if (length > m_bytes.size() - m_tail)
    m_bytes.resize(std::max({m_bytes.size() * 2, m_tail + length, kFirstStorage}));
  std::memcpy(m_bytes.data() + m_tail, bytes, length);
  m_tail += length;
  PoisonOutsideLiveBytes();
}

void RxQueue::Drop(std::size_t count) {
  m_head += std::min(count, Size());
  if (m_head == m_tail) m_head = m_tail = 0;  // empty: start again at the front
  PoisonOutsideLiveBytes();
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
  const std::size_t count =
      hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - Data()) : size;
  Drop(count);
  return count;
}

void RxQueue::Clear() {
  m_head = m_tail = 0;
  PoisonOutsideLiveBytes();
}

}  // namespace apdesk
