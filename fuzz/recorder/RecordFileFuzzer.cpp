// Any file handed to `apctl record` must be summarised and exported without
// a crash; every byte is accounted for as a sound record, part of a damaged
// one or the tail, and only sound records are kept.
#include <cstdlib>
#include <cstring>

#include "recorder/RecordFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Most random slots fail the sum; mend some so the decoders see records.
  std::vector<std::uint8_t> bytes(data, data + size);
  for (std::size_t at = 0; at + apdesk::kRecordSize <= bytes.size(); at += apdesk::kRecordSize) {
    if (bytes[at] & 1) {
      std::memcpy(&bytes[at], "$STP", 4);
      unsigned sum = 0;
      for (std::size_t i = 0; i + 1 < apdesk::kRecordSize; ++i) sum += bytes[at + i];
      bytes[at + apdesk::kRecordSize - 1] = static_cast<std::uint8_t>(sum);
    }
  }
  const apdesk::RecordScan scan = apdesk::ScanRecords(bytes.data(), bytes.size());
  const std::size_t kept = scan.records.size() * apdesk::kRecordSize;
  // Damage between sound records counts as whole records, rounded up.
  if (kept + scan.trailingBytes > size) std::abort();
  if (kept + scan.skipped * apdesk::kRecordSize + scan.trailingBytes < size) std::abort();
  if (scan.trailingBytes >= apdesk::kRecordSize) std::abort();
  for (const apdesk::RecordBytes& r : scan.records) {
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < apdesk::kRecordSize; ++i) sum += r[i];
    if (std::memcmp(r.data(), "$STP", 4) != 0 || static_cast<std::uint8_t>(sum) != r[apdesk::kRecordSize - 1])
      std::abort();
  }
  const apdesk::RecordInfo info = apdesk::SummariseRecords(scan);
  if (info.records != scan.records.size()) std::abort();
  (void)apdesk::FormatRecordInfo(info, "f.hj");
  (void)apdesk::RecordInfoJson(info, "f.hj");
  for (auto f : {apdesk::ExportFormat::Csv, apdesk::ExportFormat::Jsonl, apdesk::ExportFormat::Gpx,
                 apdesk::ExportFormat::Kml})
    (void)apdesk::ExportRecords(scan, f, "f<&>");
  return 0;
}
