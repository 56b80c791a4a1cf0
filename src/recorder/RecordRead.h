#pragma once
// Reading flight-record files (".hj": 99-byte "$STP" records back to back).
// A damaged record or a cut-off tail is skipped and counted, never fatal.
// Files are read in one streaming pass with a fixed buffer, so memory stays
// the same whatever a file's size.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/StatusSentence.h"
#include "recorder/SaveData.h"

namespace apdesk {

using RecordBytes = std::array<std::uint8_t, kRecordSize>;

struct RecordScan {
  std::vector<RecordBytes> records;  // the good ones, in file order
  std::size_t skipped = 0;        // damaged records: each run of bad bytes between sound ones, per 99 bytes
  std::size_t trailingBytes = 0;  // bytes after the last sound record that do not make a whole one
  std::size_t fileBytes = 0;
};

// Hands out a record file's sound records ("$STP", right sum) in order,
// picking up again after damage that shifted the rest, through a buffer of
// fixed size. Damaged bytes between sound records count as at least one
// damaged record each 99 bytes; those after the last one that do not make a
// whole record are the tail.
class RecordReader {
 public:
  RecordReader();
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // Bytes asked of the file at a time unless Open is told otherwise: few
  // system calls per megabyte, memory the same whatever the file's size.
  static constexpr std::size_t kReadBlock = std::size_t{1} << 20;

  // False, with a message naming the file, when it cannot be opened or is no
  // regular file (a pipe would wait for its writer, /dev/zero never ends).
  // `blockBytes`: how much to read at a time (at least one record's worth);
  // smaller for a look at a few records.
  bool Open(const std::string& path, std::string* error, std::size_t blockBytes = kReadBlock);
  // Reads bytes already in memory; they must outlive the reader.
  void OpenBytes(const std::uint8_t* data, std::size_t size);
  // Reads on from `offset` of the open file, where a sound record began when
  // it was read before (to look at a part of it again); the counts start
  // again from there. False when no file is open or it cannot seek there.
  bool Seek(std::uint64_t offset);

  // The next sound record (kRecordSize bytes, valid until the next call), or
  // nullptr at the end of the file or on a read error (ReadFailed).
  const std::uint8_t* Next();

  bool ReadFailed() const { return m_readFailed; }
  std::size_t Records() const { return m_records; }
  std::size_t Skipped() const { return m_skipped; }
  std::size_t TrailingBytes() const { return m_trailingBytes; }
  std::size_t BytesRead() const { return m_offset + m_end; }
  // The file offset of the record Next gave last.
  std::size_t LastOffset() const { return m_offset + m_pos - kRecordSize; }

 private:
  bool Fill(std::size_t wanted);
  bool SoundAt(std::size_t at) const;
  void Close();

  int m_fd = -1;
  std::unique_ptr<std::uint8_t[]> m_storage;  // the buffer of a file: filled by read, never cleared
  std::size_t m_capacity = 0;
  std::size_t m_span = 0;  // of it used: one block and a record
  const std::uint8_t* m_data = nullptr;
  std::size_t m_offset = 0;  // file offset of m_data[0]
  std::size_t m_pos = 0, m_end = 0;
  bool m_eof = true;
  bool m_readFailed = false;
  bool m_inGap = false;
  std::size_t m_gapStart = 0;  // file offset where the damage began
  std::size_t m_records = 0, m_skipped = 0, m_trailingBytes = 0;
};
// Finds the sound records ("$STP", right sum) in a file's bytes, in order,
// picking up again after damage that shifted the rest.
RecordScan ScanRecords(const std::uint8_t* data, std::size_t size);

// Larger than any flight (some 60 hours at 50 records a second): not a record.
inline constexpr std::size_t kMaxRecordFileBytes = std::size_t{1} << 30;

// Reads and scans a whole file into memory (for small files and tests; the
// tools stream instead). False, with a message naming the file, when it
// cannot be read, is no regular file or is larger than kMaxRecordFileBytes.
bool ReadRecordFile(const std::string& path, RecordScan* scan, std::string* error);

// A record has a GPS fix when at least 3 satellites are used and it carries a
// finite position on the globe other than 0,0 (what receivers report without one).
bool HasGpsFix(const std::uint8_t* record);

// Faults a fresh buffer's pages in with one call rather than one fault per
// page as it fills (costly, most of all in a virtual machine), as huge pages
// where asked and allowed. Only a hint: where the system refuses it, the
// pages come on first use as ever.
void PrefaultPages(void* data, std::size_t bytes, bool hugePages);
// Inline: the record tools and the viewer ask it of every record.
inline bool HasGpsFix(const StatusFields& f) {
  if (f.satellites < 3) return false;
  if (!std::isfinite(f.latitude) || !std::isfinite(f.longitude)) return false;
  if (std::fabs(f.latitude) > 90.0f || std::fabs(f.longitude) > 180.0f) return false;
  return !(f.latitude == 0.0f && f.longitude == 0.0f);
}

// The record's GPS date and time as seconds since 1970 (UTC); nothing when
// the six bytes do not make a valid date and time.
std::optional<long long> RecordUtcSeconds(const std::uint8_t* record);

// "2014-03-05T09:30:07Z"
std::string FormatUtc(long long seconds);
}  // namespace apdesk
