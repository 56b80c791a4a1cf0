#pragma once
// A HID back end whose one device is played by the test: it queues input
// reports the test pushes and records every output report the tool writes.

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "core/HidBackend.h"

namespace apdesk::test {

class ScriptedHid {
 public:
  using Report = std::vector<std::uint8_t>;

  // Cuts `bytes` into 64-byte input reports (the last one zero-padded).
  void Push(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (std::size_t at = 0; at < bytes.size(); at += kHidReportSize) {
      Report r(kHidReportSize, 0);
      std::memcpy(r.data(), bytes.data() + at, std::min(kHidReportSize, bytes.size() - at));
      m_input.push_back(r);
    }
    m_wake.notify_all();
  }
  std::vector<Report> Written() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_written;
  }
  bool present = true;

  int Read(std::uint8_t* report, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_input.empty(); }))
      return 0;
    std::memcpy(report, m_input.front().data(), kHidReportSize);
    m_input.pop_front();
    return int(kHidReportSize);
  }
  int Write(const std::uint8_t* report) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_written.emplace_back(report, report + kHidReportSize);
    return int(kHidReportSize);
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<Report> m_input;
  std::vector<Report> m_written;
};

class ScriptedHidBackend : public IHidBackend {
 public:
  explicit ScriptedHidBackend(std::shared_ptr<ScriptedHid> hid) : m_hid(std::move(hid)) {}
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t, std::uint16_t) override {
    if (!m_hid->present) return {};
    return {HidDeviceInfo{"scripted", 0x0483, 0x5750, "scripted"}};
  }
  std::unique_ptr<IHidDevice> OpenPath(const std::string&) override {
    struct Device : IHidDevice {
      std::shared_ptr<ScriptedHid> hid;
      int ReadReport(std::uint8_t* r, int t) override { return hid->Read(r, t); }
      int WriteReport(const std::uint8_t* r) override { return hid->Write(r); }
    };
    auto d = std::make_unique<Device>();
    d->hid = m_hid;
    return d;
  }

 private:
  std::shared_ptr<ScriptedHid> m_hid;
};

}  // namespace apdesk::test
