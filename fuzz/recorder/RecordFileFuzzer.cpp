// Any file handed to `apctl record` must be summarised and exported without
// a crash; every byte is accounted for as a sound record, part of a damaged
// one or the tail, and only sound records are kept.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "recorder/RecordFile.h"

namespace {

// Well-formed UTF-8 without raw control bytes (tab, LF and CR allowed when
// `xml`): what a JSON or XML reader accepts.
bool Acceptable(const std::string& s, bool xml) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 && !(xml && (c == '\t' || c == '\n' || c == '\r'))) return false;
    std::size_t n = c < 0x80 ? 0 : c < 0xC2 ? 9 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : c < 0xF5 ? 3 : 9;
    if (n == 9 || (n > 0 && i + n >= s.size())) return false;
    std::uint32_t cp = n == 0 ? c : c & (0x3F >> n);
    for (std::size_t k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3F);
    }
    const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

}  // namespace

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
  // A file name may hold any bytes; what is made of it must stay readable.
  const std::string name(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 64));
  if (!Acceptable(apdesk::JsonString(name), false) || !Acceptable(apdesk::XmlEscape(name), true))
    std::abort();
  return 0;
}
