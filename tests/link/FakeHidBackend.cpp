#include "FakeHidBackend.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace linktest {
namespace {

class FakeDevice final : public apdesk::IHidDevice {
 public:
  explicit FakeDevice(std::shared_ptr<FakeHidScript> s) : m_s(std::move(s)) {}

  int ReadReport(std::uint8_t* report, int timeoutMs) override {
    std::unique_lock lock(m_s->mutex);
    ++m_s->readCalls;
    ++m_s->readsInProgress;
    m_s->maxReadsInProgress = std::max(m_s->maxReadsInProgress, m_s->readsInProgress);
    m_s->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return !m_s->holdReads && (m_s->readFails || !m_s->input.empty()); });
    --m_s->readsInProgress;
    if (m_s->holdReads) return 0;
    if (m_s->readFails) return -1;
    if (m_s->input.empty()) return 0;
    std::memcpy(report, m_s->input.front().data(), 64);
    m_s->input.pop_front();
    return 64;
  }

  int WriteReport(const std::uint8_t* report) override {
    std::unique_lock lock(m_s->mutex);
    ++m_s->writesStarted;
    m_s->changed.notify_all();
    m_s->changed.wait(lock, [&] { return !m_s->holdWrites; });
    if (m_s->writeFails) return -1;
    // The bytes are taken only now, at completion: a transfer whose buffer
    // was reused while in flight shows up here.
    Report r;
    std::memcpy(r.data(), report, 64);
    m_s->written.push_back(r);
    m_s->changed.notify_all();
    return 64;
  }

 private:
  std::shared_ptr<FakeHidScript> m_s;
};

class FakeBackend final : public apdesk::IHidBackend {
 public:
  explicit FakeBackend(std::shared_ptr<FakeHidScript> s) : m_s(std::move(s)) {}

  std::vector<apdesk::HidDeviceInfo> Enumerate(std::uint16_t vid, std::uint16_t pid) override {
    std::lock_guard lock(m_s->mutex);
    std::vector<apdesk::HidDeviceInfo> out;
    for (const auto& d : m_s->devices) {
      if (d.vendorId == vid && d.productId == pid) out.push_back(d);
    }
    return out;
  }

  std::unique_ptr<apdesk::IHidDevice> OpenPath(const std::string& path) override {
    std::lock_guard lock(m_s->mutex);
    m_s->opened.push_back(path);
    if (m_s->failOpen.count(path) != 0) return nullptr;
    return std::make_unique<FakeDevice>(m_s);
  }

 private:
  std::shared_ptr<FakeHidScript> m_s;
};

}  // namespace

void FakeHidScript::Push(const Report& r) {
  std::lock_guard lock(mutex);
  input.push_back(r);
  changed.notify_all();
}

void FakeHidScript::SetHoldWrites(bool hold) {
  std::lock_guard lock(mutex);
  holdWrites = hold;
  changed.notify_all();
}

void FakeHidScript::SetHoldReads(bool hold) {
  std::lock_guard lock(mutex);
  holdReads = hold;
  changed.notify_all();
}

std::vector<Report> FakeHidScript::Written() {
  std::lock_guard lock(mutex);
  return written;
}

int FakeHidScript::WritesStarted() {
  std::lock_guard lock(mutex);
  return writesStarted;
}

bool FakeHidScript::WaitForWritesStarted(int n, int timeoutMs) {
  std::unique_lock lock(mutex);
  return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return writesStarted >= n; });
}

std::unique_ptr<apdesk::IHidBackend> MakeFakeHidBackend(std::shared_ptr<FakeHidScript> script) {
  return std::make_unique<FakeBackend>(std::move(script));
}

Report MakeReport(std::initializer_list<int> head) {
  Report r{};
  std::size_t i = 0;
  for (int b : head) r[i++] = static_cast<std::uint8_t>(b);
  return r;
}

}  // namespace linktest
