#pragma once
// The simulated controller as a HID back end: one device, path "sim",
// 0483:5750, that produces its reports on demand in ReadReport by the real
// steady clock. One reader and one writer may use it at once.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "core/HidBackend.h"
#include "sim/SimController.h"

namespace apdesk::sim {

inline constexpr const char* kSimDevicePath = "sim";

// Shared by the back end, its devices and whoever inspects the controller
// (tests, apctl). Every call takes the controller's lock.
class SimHandle {
 public:
  explicit SimHandle(const SimOptions& options);

  // Runs f on the controller under the lock; f must not call the handle.
  void With(const std::function<void(SimController&)>& f);

  SimCounters Counters();
  ParameterSentence Parameters();
  void SetParameters(const ParameterSentence& sentence);
  void SetFaults(const SimFaults& faults);
  std::vector<std::uint8_t> ReceivedImage();
  bool UpgradeComplete();
  void Unplug();  // reads and writes fail from now on, as after pulling the cable
  bool Vanished();

  // For the device: milliseconds since the handle was made.
  std::int64_t NowMs() const;
  // Ends early, with 0, once *cancelled is set and Wake has been called.
  int Read(std::uint8_t* report, int timeoutMs, const std::atomic<bool>* cancelled = nullptr);
  void Wake() { m_wake.notify_all(); }
  int Write(const std::uint8_t* report);

 private:
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::int64_t m_epochMs;
  SimController m_controller;
};

// handle, when given, receives the controller's handle.
std::unique_ptr<IHidBackend> MakeSimHidBackend(const SimOptions& options,
                                               std::shared_ptr<SimHandle>* handle = nullptr);

}  // namespace apdesk::sim
