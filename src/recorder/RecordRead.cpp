#include "recorder/RecordRead.h"

#include "files/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include "protocol/NumberText.h"
#include "protocol/StatusSentence.h"

namespace apdesk {

// ---- RecordReader ----

RecordReader::RecordReader() = default;

RecordReader::~RecordReader() {
  Close();
}

void RecordReader::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_data = nullptr;
  m_offset = m_pos = m_end = 0;
  m_eof = true;
  m_readFailed = m_inGap = false;
  m_gapStart = m_records = m_skipped = m_trailingBytes = 0;
}

bool RecordReader::Open(const std::string& path, std::string* error, std::size_t blockBytes) {
  Close();
  // Only a regular file is read, and it is streamed: a pipe or device in
  // its place is refused without waiting, however large the file is.
  RegularFileOptions options;
  options.maxBytes = UINT64_MAX;
  std::uint64_t size = 0;
  std::string why;
  const FileOpen opened = OpenRegularFile(path, options, &m_fd, &size, &why);
  if (opened != FileOpen::Ok) {
    if (why == "it is a folder")
      *error = path + ": a directory, not a record file";
    else if (why == "it is not a regular file")
      *error = path + ": not a regular file";
    else if (opened == FileOpen::Missing)
      *error = path + ": " + std::strerror(ENOENT);
    else
      *error = path + ": " + why;
    return false;
  }
  ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  // A buffer kept from an earlier Open is used again when large enough:
  // fresh memory would be faulted in page by page while read into.
  m_span = std::max(blockBytes, kRecordSize) + kRecordSize;
  if (m_capacity < m_span) {
    m_storage.reset(new std::uint8_t[m_span]);
    m_capacity = m_span;
    PrefaultPages(m_storage.get(), m_capacity, false);
  }
  m_data = m_storage.get();
  m_eof = false;
  return true;
}

void RecordReader::OpenBytes(const std::uint8_t* data, std::size_t size) {
  Close();
  m_data = data;
  m_end = size;
  m_eof = true;
}

bool RecordReader::Seek(std::uint64_t offset) {
  if (m_fd < 0 || ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0) return false;
  m_offset = static_cast<std::size_t>(offset);
  m_pos = m_end = 0;
  m_eof = false;
  m_readFailed = m_inGap = false;
  m_gapStart = m_records = m_skipped = m_trailingBytes = 0;
  return true;
}

// Makes at least `wanted` bytes available from m_pos unless the file ends first.
bool RecordReader::Fill(std::size_t wanted) {
  if (m_end - m_pos >= wanted || m_eof) return m_end - m_pos >= wanted;
  std::memmove(m_storage.get(), m_storage.get() + m_pos, m_end - m_pos);
  m_offset += m_pos;
  m_end -= m_pos;
  m_pos = 0;
  while (m_end - m_pos < wanted && !m_eof) {
    const ssize_t n = ::read(m_fd, m_storage.get() + m_end, m_span - m_end);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      m_readFailed = true;
      m_eof = true;
    } else if (n == 0) {
      m_eof = true;
    } else {
      m_end += static_cast<std::size_t>(n);
    }
  }
  return m_end - m_pos >= wanted;
}

bool RecordReader::SoundAt(std::size_t at) const {
  return m_end - at >= kRecordSize && std::memcmp(m_data + at, "$STP", 4) == 0 &&
         StatusSentenceSumOk(m_data + at);
}

const std::uint8_t* RecordReader::Next() {
  for (;;) {
    Fill(kRecordSize);
    if (m_readFailed) return nullptr;
    if (m_pos == m_end) {
      if (m_inGap) {
        const std::size_t gap = m_offset + m_end - m_gapStart;
        m_skipped += gap / kRecordSize;
        m_trailingBytes = gap % kRecordSize;
        m_inGap = false;
      }
      return nullptr;
    }
    if (SoundAt(m_pos)) {
      if (m_inGap) {
        m_skipped += (m_offset + m_pos - m_gapStart + kRecordSize - 1) / kRecordSize;
        m_inGap = false;
      }
      const std::uint8_t* record = m_data + m_pos;
      m_pos += kRecordSize;
      ++m_records;
      return record;
    }
    if (!m_inGap) {
      m_inGap = true;
      m_gapStart = m_offset + m_pos;
    }
    // On to the next '$' in the buffer; whether a record starts there is
    // decided once 99 bytes from it are in.
    const void* dollar =
        m_pos + 1 < m_end ? std::memchr(m_data + m_pos + 1, '$', m_end - m_pos - 1) : nullptr;
    m_pos = dollar ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(dollar) - m_data) : m_end;
  }
}

RecordScan ScanRecords(const std::uint8_t* data, std::size_t size) {
  RecordScan scan;
  scan.fileBytes = size;
  scan.records.reserve(size / kRecordSize);
  RecordReader reader;
  reader.OpenBytes(data, size);
  while (const std::uint8_t* r = reader.Next())
    std::memcpy(scan.records.emplace_back().data(), r, kRecordSize);
  scan.skipped = reader.Skipped();
  scan.trailingBytes = reader.TrailingBytes();
  return scan;
}

bool ReadRecordFile(const std::string& path, RecordScan* scan, std::string* error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::uintmax_t>(info.st_size) > kMaxRecordFileBytes) {
    *error = path + ": too large for a flight record (" + std::to_string(info.st_size) + " bytes)";
    return false;
  }
  RecordReader reader;
  if (!reader.Open(path, error)) return false;
  RecordScan s;
  while (const std::uint8_t* r = reader.Next()) {
    if (s.records.size() * kRecordSize >= kMaxRecordFileBytes) {
      *error = path + ": too large for a flight record (grew while being read)";
      return false;
    }
    std::memcpy(s.records.emplace_back().data(), r, kRecordSize);
  }
  if (reader.ReadFailed()) {
    *error = path + ": read error";
    return false;
  }
  s.skipped = reader.Skipped();
  s.trailingBytes = reader.TrailingBytes();
  s.fileBytes = reader.BytesRead();
  *scan = std::move(s);
  return true;
}

bool HasGpsFix(const std::uint8_t* record) {
  return HasGpsFix(ReadStatusFields(record));
}

std::optional<long long> RecordUtcSeconds(const std::uint8_t* record) {
  const StatusFields f = ReadStatusFields(record);
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > kDays[f.month - 1]) return std::nullopt;
  if (f.hour > 23 || f.minute > 59 || f.second > 59) return std::nullopt;
  const bool leap = (f.year % 4 == 0 && f.year % 100 != 0) || f.year % 400 == 0;
  if (f.month == 2 && f.day == 29 && !leap) return std::nullopt;
  std::tm t{};
  t.tm_year = f.year - 1900;
  t.tm_mon = f.month - 1;
  t.tm_mday = f.day;
  t.tm_hour = f.hour;
  t.tm_min = f.minute;
  t.tm_sec = f.second;
  return static_cast<long long>(timegm(&t));
}

std::string FormatUtc(long long seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm u{};
  gmtime_r(&t, &u);
  return FormatText("%04d-%02d-%02dT%02d:%02d:%02dZ", u.tm_year + 1900, u.tm_mon + 1, u.tm_mday, u.tm_hour,
                    u.tm_min, u.tm_sec);
}

void PrefaultPages(void* data, std::size_t bytes, bool hugePages) {
#if defined(MADV_POPULATE_WRITE)
  constexpr std::uintptr_t kPage = 4096;
  const auto from = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t start = (from + kPage - 1) & ~(kPage - 1), end = (from + bytes) & ~(kPage - 1);
  if (end <= start) return;
  if (hugePages) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
  ::madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
  (void)data;
  (void)bytes;
  (void)hugePages;
#endif
}

}  // namespace apdesk
