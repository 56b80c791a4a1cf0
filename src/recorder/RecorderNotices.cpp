#include "recorder/RecorderNotices.h"

#include "recorder/WholeFile.h"

namespace apdesk {

std::string RecorderNotices::Poll(const CSaveData& recorder, bool chinese) {
  if (m_told || !recorder.WriteFailing()) return {};
  m_told = true;
  const std::string path = recorder.RecordFilePath();
  const std::string waiting = std::to_string(recorder.RecordsWaiting());
  if (chinese) {
    return "飞行记录未能写入 " + path + "。" + waiting + " 条记录正在等待，磁盘可写时再写入。";
  }
  const int err = recorder.LastWriteError();
  return "Flight records are not being written to " + path +
         (err != 0 ? " (" + FileErrorReason(err) + ")" : "") + ". " + waiting +
         " records are waiting; they are written as soon as the disk takes them.";
}

std::string RecorderNotices::LossText(const CSaveData& recorder, bool chinese) {
  const std::uint64_t lost = recorder.RecordsLost();
  if (lost == 0) return {};
  const std::string path = recorder.RecordFilePath();
  if (chinese) return std::to_string(lost) + " 条飞行记录未能写入 " + path + "，已丢失。";
  return std::to_string(lost) + " flight records could not be written to " + path + " and are lost.";
}

}  // namespace apdesk
