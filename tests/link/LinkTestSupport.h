#pragma once
// What the link's Qt tests share: one QCoreApplication for the whole test
// program, an owner that records the four messages, and event pumping.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "common/TestApp.h"
#include "common/WaitUntil.h"
#include "link/LinkEvents.h"

namespace linktest {

// The test program's application object, made before the first test.
class QtAppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { testsupport::TestApp(); }
};

inline ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

// Pumps events until cond holds or timeoutMs passes; tells whether it held.
inline bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 5000) {
  return testsupport::WaitUntil(cond, timeoutMs);
}

using testsupport::PumpFor;

// Records every message it gets and runs the test's handler for it.
class RecordingOwner : public QObject {
 public:
  void OnUartReceived() { Got(0x500, onUartReceived); }
  void OnUartSent() { Got(0x501, onUartSent); }
  void OnHidReceived() { Got(0x600, onHidReceived); }
  void OnHidSent() { Got(0x601, onHidSent); }
  void OnHidLost() { Got(0x602, nullptr); }

  int Count(int type) const {
    int n = 0;
    for (int t : messages) n += (t == type);
    return n;
  }

  std::vector<int> messages;
  std::function<void()> onUartReceived, onUartSent, onHidReceived, onHidSent;

 protected:
  bool event(QEvent* e) override { return apdesk::DispatchLinkEvent(*this, e) || QObject::event(e); }

 private:
  void Got(int type, const std::function<void()>& handler) {
    messages.push_back(type);
    if (handler) handler();
  }
};

}  // namespace linktest
