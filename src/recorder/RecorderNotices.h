#pragma once
// What the window tells the operator about the flight record when the disk
// refuses it: once, that records are not being written and how many wait;
// at the end, how many were lost. Texts in English or Chinese.

#include <string>

#include "recorder/SaveData.h"

namespace apdesk {

class RecorderNotices {
 public:
  // The first time the recorder cannot write: the text to show. Empty
  // otherwise (nothing wrong, or already told).
  std::string Poll(const CSaveData& recorder, bool chinese);
  // After the worker has ended: how many records were lost; empty when none.
  static std::string LossText(const CSaveData& recorder, bool chinese);

 private:
  bool m_told = false;
};

}  // namespace apdesk
