#include "protocol/RxQueue.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define APDESK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define APDESK_ASAN 1
#endif
#endif
#if defined(APDESK_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace apdesk {

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

RxQueue::RxQueue(RxQueue&& other) noexcept : m_bytes(std::move(other.m_bytes)), m_head(other.m_head) {
  other.m_bytes.clear();
  other.m_head = 0;
}

RxQueue& RxQueue::operator=(RxQueue&& other) noexcept {
  if (this != &other) {
    Unpoison();
    m_bytes = std::move(other.m_bytes);
    m_head = other.m_head;
    other.m_bytes.clear();
    other.m_head = 0;
  }
  return *this;
}

RxQueue::~RxQueue() {
  Unpoison();
}

void RxQueue::Unpoison() {
#if defined(APDESK_ASAN)
  if (m_bytes.capacity() > 0) ASAN_UNPOISON_MEMORY_REGION(m_bytes.data(), m_bytes.capacity());
#endif
}

void RxQueue::PoisonDropped(std::size_t from) {
#if defined(APDESK_ASAN)
  ASAN_POISON_MEMORY_REGION(m_bytes.data() + from, m_head - from);
#else
  (void)from;
#endif
}

void RxQueue::PoisonOutsideLiveBytes() {
#if defined(APDESK_ASAN)
  if (m_bytes.capacity() == 0) return;
  ASAN_POISON_MEMORY_REGION(m_bytes.data(), m_head);
  ASAN_POISON_MEMORY_REGION(m_bytes.data() + m_bytes.size(), m_bytes.capacity() - m_bytes.size());
#endif
}

void RxQueue::Append(const std::uint8_t* bytes, std::size_t length) {
  if (length == 0) return;
  Unpoison();  // the vector may copy the whole storage when it grows
  // Move the live bytes down only when the dead front is at least as large as
  // them: each byte is then moved at most once per doubling of the stream.
  if (m_head > 0 && m_head >= Size()) Compact();
  m_bytes.insert(m_bytes.end(), bytes, bytes + length);
  PoisonOutsideLiveBytes();
}

void RxQueue::Drop(std::size_t count) {
  const std::size_t from = m_head;
  m_head += std::min(count, Size());
  if (m_head == m_bytes.size()) {
    // Empty: start again at the front; clear() keeps the capacity.
    m_bytes.clear();
    m_head = 0;
    PoisonOutsideLiveBytes();
  } else {
    PoisonDropped(from);
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
  const std::size_t count =
      hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - Data()) : size;
  Drop(count);
  return count;
}

void RxQueue::Clear() {
  m_bytes.clear();
  m_head = 0;
  PoisonOutsideLiveBytes();
}

void RxQueue::Compact() {
  // Called with the storage unpoisoned (from Append).
  const std::size_t size = Size();
  if (size > 0) std::memmove(m_bytes.data(), m_bytes.data() + m_head, size);
  m_bytes.resize(size);
  m_head = 0;
}

}  // namespace apdesk
