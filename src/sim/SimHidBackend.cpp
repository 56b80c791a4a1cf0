#include "sim/SimHidBackend.h"

#include <algorithm>
#include <atomic>
#include <chrono>

namespace apdesk::sim {
namespace {

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

constexpr std::uint16_t kVendorId = kControllerVendorId;
constexpr std::uint16_t kProductId = kControllerProductId;

class SimDevice final : public IHidDevice {
 public:
  explicit SimDevice(std::shared_ptr<SimHandle> handle) : m_handle(std::move(handle)) {}
  int ReadReport(std::uint8_t* report, int timeoutMs) override {
    return m_handle->Read(report, timeoutMs, &m_cancelled);
  }
  int WriteReport(const std::uint8_t* report) override { return m_handle->Write(report); }
  void CancelRead() override {
    m_cancelled.store(true);
    m_handle->Wake();
  }

 private:
  std::shared_ptr<SimHandle> m_handle;
  std::atomic<bool> m_cancelled{false};
};

class SimBackend final : public IHidBackend {
 public:
  explicit SimBackend(std::shared_ptr<SimHandle> handle) : m_handle(std::move(handle)) {}

  std::vector<HidDeviceInfo> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
    std::vector<HidDeviceInfo> list;
    const bool match =
        (vendorId == 0 || vendorId == kVendorId) && (productId == 0 || productId == kProductId);
    if (match && !m_handle->Vanished()) {
      list.push_back(HidDeviceInfo{kSimDevicePath, kVendorId, kProductId, "Simulated AP"});
    }
    return list;
  }

  std::unique_ptr<IHidDevice> OpenPath(const std::string& path) override {
    if (path != kSimDevicePath || m_handle->Vanished()) return nullptr;
    return std::make_unique<SimDevice>(m_handle);
  }

 private:
  std::shared_ptr<SimHandle> m_handle;
};

}  // namespace

SimHandle::SimHandle(const SimOptions& options) : m_epochMs(SteadyMs()), m_controller(options, 0) {}

std::int64_t SimHandle::NowMs() const {
  return SteadyMs() - m_epochMs;
}

void SimHandle::With(const std::function<void(SimController&)>& f) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    f(m_controller);
  }
  m_wake.notify_all();
}

SimCounters SimHandle::Counters() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_controller.Counters();
}

ParameterSentence SimHandle::Parameters() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_controller.Parameters();
}

void SimHandle::SetParameters(const ParameterSentence& sentence) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_controller.SetParameters(sentence);
}

void SimHandle::SetFaults(const SimFaults& faults) {
  With([&](SimController& c) { c.Faults() = faults; });
}

std::vector<std::uint8_t> SimHandle::ReceivedImage() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_controller.ReceivedImage();
}

bool SimHandle::UpgradeComplete() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_controller.UpgradeComplete();
}

void SimHandle::Unplug() {
  With([](SimController& c) { c.Unplug(); });
}

bool SimHandle::Vanished() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_controller.Advance(NowMs());  // a vanish fault may be due
  return m_controller.Vanished();
}

int SimHandle::Read(std::uint8_t* report, int timeoutMs, const std::atomic<bool>* cancelled) {
  std::unique_lock<std::mutex> lock(m_mutex);
  const std::int64_t deadline = NowMs() + std::max(0, timeoutMs);
  for (;;) {
    if (cancelled != nullptr && cancelled->load()) return 0;
    const std::int64_t now = NowMs();
    m_controller.Advance(now);
    if (m_controller.Vanished()) return -1;
    if (m_controller.TakeReport(report)) return static_cast<int>(kHidReportSize);
    if (now >= deadline) return 0;
    const std::int64_t wakeAt = std::min(deadline, std::max(now + 1, m_controller.NextDueMs()));
    m_wake.wait_for(lock, std::chrono::milliseconds(wakeAt - now));
  }
}

int SimHandle::Write(const std::uint8_t* report) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t now = NowMs();
    m_controller.Write(report, kHidReportSize, now);
    if (m_controller.Vanished()) return -1;
  }
  m_wake.notify_all();  // an answer may be ready for the reader
  return static_cast<int>(kHidReportSize);
}

std::unique_ptr<IHidBackend> MakeSimHidBackend(const SimOptions& options,
                                               std::shared_ptr<SimHandle>* handle) {
  auto h = std::make_shared<SimHandle>(options);
  if (handle != nullptr) *handle = h;
  return std::make_unique<SimBackend>(h);
}

}  // namespace apdesk::sim
