#pragma once
// Runs the event loop until a condition holds or the time is up. It sleeps
// between events (a 5 ms timer wakes it to look again), so a waiting test
// leaves the processor to the threads and programs it waits for.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace testsupport {

// Tells whether cond held before timeoutMs passed.
inline bool WaitUntil(const std::function<bool()>& cond, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  QTimer poll;
  poll.start(5);
  while (!cond()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// Lets the events of the next ms milliseconds happen.
inline void PumpFor(int ms) {
  QElapsedTimer timer;
  timer.start();
  WaitUntil([&] { return timer.elapsed() >= ms; }, ms + 1000);
}

}  // namespace testsupport
