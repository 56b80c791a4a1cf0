#pragma once
// Answers every message box from a queue and records what was asked, so a
// window test never blocks on a box. Default answer: Yes for Yes/No boxes,
// Ok otherwise. The real message box is back when the recorder goes.

#include <deque>
#include <vector>

#include "ui/MessageBoxes.h"

namespace apdesk {

class BoxRecorder {
 public:
  BoxRecorder() {
    MessageBoxes::SetHandler([this](const BoxRequest& r) {
      requests.push_back(r);
      if (!answers.empty()) {
        const BoxAnswer a = answers.front();
        answers.pop_front();
        return a;
      }
      return r.buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
    });
  }
  ~BoxRecorder() { MessageBoxes::ResetHandler(); }
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  // Texts of the boxes shown so far, in order.
  std::vector<QString> Texts() const {
    std::vector<QString> t;
    for (const BoxRequest& r : requests) t.push_back(r.text);
    return t;
  }

  std::vector<BoxRequest> requests;
  std::deque<BoxAnswer> answers;
};

}  // namespace apdesk
