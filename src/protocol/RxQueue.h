#pragma once
// The receive queue: bytes from both transports, oldest first, waiting to be
// parsed. Bytes are appended at the back and dropped from the front; dropping
// only moves a read offset, and the live bytes are moved to the start of the
// storage only when the back has no room left and the dead front is at least
// as large as the live part, so every byte is moved a bounded number of times
// and nothing is allocated per byte. An append that fits is one copy.
//
// Under AddressSanitizer the storage outside the live bytes is poisoned, so
// a read past the end of the queue (or well before its head) is reported
// even though the queue owns that memory.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define APDESK_RXQUEUE_POISONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define APDESK_RXQUEUE_POISONS 1
#endif
#endif

namespace apdesk {

class RxQueue {
 public:
  RxQueue() = default;
  RxQueue(const RxQueue& other);
  RxQueue& operator=(const RxQueue& other);
  RxQueue(RxQueue&& other) noexcept;
  RxQueue& operator=(RxQueue&& other) noexcept;
  ~RxQueue();

  // Appends `length` bytes at the back (nothing happens for length 0).
  void Append(const std::uint8_t* bytes, std::size_t length) {
#if !defined(APDESK_RXQUEUE_POISONS)
    if (length <= m_bytes.size() - m_tail) {
      if (length > 0) std::memcpy(m_bytes.data() + m_tail, bytes, length);
      m_tail += length;
      return;
    }
#endif
    AppendSlow(bytes, length);
  }

  // Removes up to `count` bytes from the front.
  void Drop(std::size_t count);

  // Copies the first `length` bytes to `dest` and removes them. The caller
  // has checked Size() >= length.
  void Take(std::uint8_t* dest, std::size_t length);

  // Removes every byte before the first one equal to `value` (all bytes when
  // none is); returns how many were removed.
  std::size_t DropUntil(std::uint8_t value);

  void Clear();

  std::size_t Size() const {
    return m_tail - m_head;
  }
  bool Empty() const {
    return m_tail == m_head;
  }

  // The queued bytes, Size() of them; valid until the next non-const call.
  const std::uint8_t* Data() const {
    return m_bytes.data() + m_head;
  }
  std::uint8_t operator[](std::size_t i) const {
    return m_bytes[m_head + i];
  }

  // Bytes of storage held (for the tests of the compaction rule).
  std::size_t Capacity() const {
    return m_bytes.size();
  }

 private:
  void AppendSlow(const std::uint8_t* bytes, std::size_t length);
  void Unpoison();
  void PoisonOutsideLiveBytes();

  // All of it is storage; the live bytes are [m_head, m_tail).
  std::vector<std::uint8_t> m_bytes;
  std::size_t m_head = 0;
  std::size_t m_tail = 0;
};

}  // namespace apdesk
