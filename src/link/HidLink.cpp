#include "link/HidLink.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstring>

#include <pthread.h>
#include <signal.h>

#include "core/DeviceMatch.h"
#include "link/LinkEvents.h"

using namespace apdesk;

namespace {

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

CHidLink::CHidLink(std::unique_ptr<IHidBackend> backend) : m_backend(std::move(backend)) {}

CHidLink::~CHidLink() {
  Stop();
  if (m_reader.joinable()) m_reader.join();
  if (m_writer.joinable()) m_writer.join();
}

bool CHidLink::SetBackend(std::unique_ptr<IHidBackend> backend) {
  if (IsOpen()) return false;
  m_backend = std::move(backend);
  return true;
}

void CHidLink::StartReader(QObject* owner) {
  m_owner = owner;
  std::lock_guard lock(m_mutex);
  if (m_reader.joinable() || m_stopping) return;
  // The I/O threads take no signals: a Ctrl+C landing in a device read would
  // fail it (EINTR) and stop reading for good, as if the device were gone.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  m_reader = std::thread([this] { ReaderLoop(); });
  m_writer = std::thread([this] { WriterLoop(); });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void CHidLink::Attach(QObject* owner, LostHandler lost) {
  m_lost = std::move(lost);
  StartReader(owner);
}

void CHidLink::TakeArrived(const Arrived& arrived) {
  std::uint8_t report[kHidReportSize];
  TakeReport(report);
  if (arrived) arrived(report, sizeof report);
}

void CHidLink::WriteDone() {
  SetReady(true);
  Flush();
}

bool CHidLink::Open(std::uint16_t vendorId, std::uint16_t productId) {
  m_ready = true;
  Close();
  if (!m_backend) return false;
  const std::vector<HidDeviceInfo> devices = m_backend->Enumerate(vendorId, productId);
  const auto match = std::find_if(devices.begin(), devices.end(), [&](const HidDeviceInfo& d) {
    return d.vendorId == vendorId && d.productId == productId;
  });
  if (match == devices.end()) return false;  // the caller tells the user
  // Only the first matching device is tried, even when opening it fails.
  return OpenFound(*match, true);
}

bool CHidLink::Reopen(const HidDeviceInfo& previous) {
  m_ready = true;
  Close();
  if (!m_backend) return false;
  const std::optional<HidDeviceInfo> match =
      ChooseReturningDevice(m_backend->Enumerate(previous.vendorId, previous.productId), previous);
  return match && OpenFound(*match, false);
}

bool CHidLink::OpenFound(const HidDeviceInfo& found, bool notify) {
  std::unique_ptr<IHidDevice> device = m_backend->OpenPath(found.path);
  if (!device) {
    if (notify) Notify(TransportFailure::OpenFailed);
    return false;
  }
  {
    std::lock_guard lock(m_mutex);
    m_device = std::move(device);
    ++m_generation;
    m_readArmed = false;
    m_readFailed = false;
  }
  m_lastOpened = found;
  m_queue.clear();
  Pause(kOpenSettleMs);
  ArmRead();
  return true;
}

void CHidLink::Close() {
  m_queue.clear();
  std::shared_ptr<IHidDevice> closing;
  {
    std::lock_guard lock(m_mutex);
    if (!m_device) return;
    closing = std::move(m_device);
    ++m_generation;
    m_readArmed = false;
    m_writeJobs.clear();
  }
  // A read waiting on it returns now; the device goes when the last I/O call
  // using it has returned, usually here.
  closing->CancelRead();
  closing.reset();
}

bool CHidLink::ReadFailed() const {
  std::lock_guard lock(m_mutex);
  return m_device && m_readFailed;
}

void CHidLink::Stop() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_readWake.notify_all();
  m_writeWake.notify_all();
  Close();
}

void CHidLink::Send(const std::uint8_t* bytes, std::size_t length) {
  if (IsOpen()) {
    m_queue.insert(m_queue.end(), bytes, bytes + length);
    Flush();
  }
  Pause(kSendPauseMs);
}

void CHidLink::Flush() {
  if (!m_ready || m_queue.empty()) return;
  std::array<std::uint8_t, kHidReportSize> report{};
  const std::size_t n = std::min(m_queue.size(), kHidReportSize);
  std::copy_n(m_queue.begin(), n, report.begin());
  m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(n));
  WriteOne(report.data());
}

void CHidLink::WriteReport(const std::uint8_t* report) {
  WriteOne(report);
}

void CHidLink::WriteOne(const std::uint8_t* report) {
  if (!IsOpen()) return;
  m_ready = false;
  WriteJob job;
  std::memcpy(job.report.data(), report, kHidReportSize);
  {
    std::lock_guard lock(m_mutex);
    job.generation = m_generation;
    // Each write owns a copy of its bytes, so a report written while another
    // is in flight never disturbs it.
    m_writeJobs.push_back(job);
  }
  m_writeWake.notify_one();
}

void CHidLink::ArmRead() {
  {
    std::lock_guard lock(m_mutex);
    if (!m_device || m_readArmed) return;
    m_rxBuffer[0] = 0;
    m_readArmed = true;
  }
  m_readWake.notify_one();
}

void CHidLink::TakeReport(std::uint8_t* report) {
  std::memcpy(report, m_rxBuffer.data() + 1, kHidReportSize);
  std::memset(m_rxBuffer.data() + 1, 0, kHidReportSize);
  ArmRead();
}

void CHidLink::ReaderLoop() {
  std::unique_lock lock(m_mutex);
  while (!m_stopping) {
    if (!m_device || !m_readArmed || m_readFailed) {
      m_readWake.wait(lock);
      continue;
    }
    std::shared_ptr<IHidDevice> device = m_device;
    const std::uint64_t generation = m_generation;
    lock.unlock();
    std::uint8_t report[kHidReportSize];
    const int n = device->ReadReport(report, kReadTimeoutMs);
    device.reset();
    lock.lock();
    if (generation != m_generation || n == 0) continue;
    if (n < 0) {
      // A device that failed stays failed: stop reading rather than turn
      // every retry into a message.
      m_readFailed = true;
      QCoreApplication::postEvent(this, new LinkCompletionEvent(WM_HID_LOST, generation));
      continue;
    }
    std::memcpy(m_rxBuffer.data() + 1, report, kHidReportSize);
    m_readArmed = false;
    QCoreApplication::postEvent(this, new LinkCompletionEvent(WM_HID_RECEIVED, generation));
  }
}

void CHidLink::WriterLoop() {
  std::unique_lock lock(m_mutex);
  while (!m_stopping) {
    if (m_writeJobs.empty()) {
      m_writeWake.wait(lock);
      continue;
    }
    const WriteJob job = m_writeJobs.front();
    m_writeJobs.pop_front();
    if (job.generation != m_generation || !m_device) continue;
    std::shared_ptr<IHidDevice> device = m_device;
    lock.unlock();
    // A failed write still completes, so the ready flag comes back and the
    // queue drains; a device that refuses a write is gone, as one that fails
    // a read: told once, like a read failure, and reading stops.
    const bool written = device->WriteReport(job.report.data()) >= 0;
    device.reset();
    lock.lock();
    if (job.generation == m_generation) {
      if (!written && !m_readFailed) {
        m_readFailed = true;
        QCoreApplication::postEvent(this, new LinkCompletionEvent(WM_HID_LOST, job.generation));
      }
      QCoreApplication::postEvent(this, new LinkCompletionEvent(WM_HID_SENT, job.generation));
    }
  }
}

bool CHidLink::event(QEvent* event) {
  if (event->type() != WM_HID_RECEIVED && event->type() != WM_HID_SENT && event->type() != WM_HID_LOST) {
    return QObject::event(event);
  }
  const auto* completion = dynamic_cast<const LinkCompletionEvent*>(event);
  if (completion == nullptr) return QObject::event(event);
  std::uint64_t current;
  {
    std::lock_guard lock(m_mutex);
    current = m_generation;
  }
  if (completion->Generation() == current && m_owner) {
    QEvent message(event->type());
    QCoreApplication::sendEvent(m_owner, &message);
    if (event->type() == WM_HID_LOST && m_lost) m_lost(TransportFailure::ReadFailed);
  }
  return true;
}

void CHidLink::Notify(TransportFailure why) {
  if (m_notifier) m_notifier(why);
}
