#include "recorder/RecorderNotices.h"

#include <initializer_list>

#include "files/WholeFile.h"

namespace apdesk {
namespace {

constexpr std::string_view kFailingText =
    "Flight records are not being written to %1 (%2). Records waiting: %3; they are written as soon as the "
    "disk takes them.";
constexpr std::string_view kLostText = "Flight records that could not be written to %2 and are lost: %1.";

// Replaces %1, %2, ... once each, as the language files' other templates are filled.
std::string Fill(std::string_view text, std::initializer_list<std::string> values) {
  std::string out(text);
  char mark[3] = {'%', '1', '\0'};
  for (const std::string& v : values) {
    if (const auto at = out.find(mark); at != std::string::npos) out.replace(at, 2, v);
    ++mark[1];
  }
  return out;
}

}  // namespace

std::string RecorderNotices::Poll(const CSaveData& recorder, std::string_view templateUtf8) {
  if (m_told || !recorder.WriteFailing()) return {};
  m_told = true;
  const int err = recorder.LastWriteError();
  return Fill(templateUtf8.empty() ? kFailingText : templateUtf8,
              {recorder.RecordFilePath(), err != 0 ? FileErrorReason(err) : "the disk refuses them",
               std::to_string(recorder.RecordsWaiting())});
}

std::string RecorderNotices::LossText(const CSaveData& recorder, std::string_view templateUtf8) {
  const std::uint64_t lost = recorder.RecordsLost();
  if (lost == 0) return {};
  return Fill(templateUtf8.empty() ? kLostText : templateUtf8,
              {std::to_string(lost), recorder.RecordFilePath()});
}

}  // namespace apdesk
