#pragma once
// What the window tells the operator about the flight record when the disk
// refuses it: once, that records are not being written and how many wait;
// at the end, how many were lost. The texts are templates from the language
// file ("%1" and on filled in here); an empty template means the built-in
// English one.

#include <string>
#include <string_view>

#include "recorder/SaveData.h"

namespace apdesk {

class RecorderNotices {
 public:
  // The first time the recorder cannot write: the text to show, from a
  // template with %1 = the record file, %2 = the reason, %3 = records
  // waiting. Empty otherwise (nothing wrong, or already told).
  std::string Poll(const CSaveData& recorder, std::string_view templateUtf8);
  // After the worker has ended: %1 = records lost, %2 = the record file;
  // empty when nothing was lost.
  static std::string LossText(const CSaveData& recorder, std::string_view templateUtf8);

 private:
  bool m_told = false;
};

}  // namespace apdesk
