#pragma once
// The USB HID transport. Outbound it cuts the byte stream of command frames
// into 64-byte reports through a queue, one report in flight at a time, and
// writes upgrade replies at once; inbound it keeps one read outstanding and
// hands each report to the owner through WM_HID_RECEIVED.
//
// All operations run on the user-interface thread. A reader thread and a
// writer thread do the device I/O and only post completions; the receive
// buffer, the queue and the ready flag belong to the user-interface thread
// except for the receive buffer between ArmRead and WM_HID_RECEIVED.

#include <QObject>
#include <QPointer>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/HidBackend.h"
#include "link/Transport.h"

class CHidLink : public QObject, public apdesk::ITransport {
  Q_OBJECT

 public:
  using Notifier = std::function<void(apdesk::TransportFailure why)>;

  static constexpr std::size_t kTransferSize = apdesk::kHidReportSize + 1;  // report id 0 + report
  static constexpr int kSendPauseMs = 50;
  static constexpr int kOpenSettleMs = 100;
  // Back-end reads wait at most this long, so the reader notices Stop and Close.
  static constexpr int kReadTimeoutMs = 50;

  explicit CHidLink(std::unique_ptr<apdesk::IHidBackend> backend);
  ~CHidLink() override;
  CHidLink(const CHidLink&) = delete;
  CHidLink& operator=(const CHidLink&) = delete;

  // Chooses another back end; refused (false) while a device is open.
  bool SetBackend(std::unique_ptr<apdesk::IHidBackend> backend);
  apdesk::IHidBackend* Backend() const { return m_backend.get(); }

  // Told why an Open failed, for a message box.
  void SetNotifier(Notifier notifier) { m_notifier = std::move(notifier); }

  // Sets the owner of WM_HID_RECEIVED / WM_HID_SENT and starts the I/O
  // threads (once; a later call only changes the owner).
  void StartReader(QObject* owner);

  // Opens the first present device with these ids; true when open.
  bool Open(std::uint16_t vendorId, std::uint16_t productId);
  // Opens the present device that is `previous` come back (core/DeviceMatch.h),
  // quietly: a failure is no message, the caller tries again later.
  bool Reopen(const apdesk::HidDeviceInfo& previous);
  // The device opened last, kept after it closed or went away.
  const apdesk::HidDeviceInfo& LastOpened() const { return m_lastOpened; }
  void Close() override;
  // Stops the I/O threads and closes the device.
  void Stop();
  bool IsOpen() const override { return m_device != nullptr; }
  // True once a read of the open device failed (unplugged, or the peer went):
  // reading has stopped, and only a new Open brings it back.
  bool ReadFailed() const;

  // Queues the bytes and sends the next report, then pauses 50 ms. With no
  // device open the bytes are dropped (a stale backlog must never reach the
  // next device); the pause stays.
  void Send(const std::uint8_t* bytes, std::size_t length);
  // Sends the next queued report if no queued report is in flight.
  void Flush();
  // Writes one 64-byte report at once, past the queue and the ready flag.
  void WriteReport(const std::uint8_t* report);
  // Starts the one outstanding read into the receive buffer.
  void ArmRead();

  bool IsReady() const { return m_ready; }
  void SetReady(bool ready) { m_ready = ready; }
  std::size_t QueuedBytes() const { return m_queue.size(); }

  // Byte 0 is the report id (0); bytes 1-64 the report. The owner copies and
  // clears bytes 1-64 on WM_HID_RECEIVED, then calls ArmRead.
  std::array<std::uint8_t, kTransferSize>& ReceiveBuffer() { return m_rxBuffer; }
  // That hand-over in one call: copies bytes 1-64 out, clears them, re-arms.
  void TakeReport(std::uint8_t* report);

  // The transport as the receive path and the command link see it: the
  // owner also gets WM_HID_LOST, and `lost` runs with it.
  void Attach(QObject* owner, LostHandler lost) override;
  void Write(const std::uint8_t* bytes, std::size_t length) override { Send(bytes, length); }
  void TakeArrived(const Arrived& arrived) override;
  void WriteDone() override;

 protected:
  bool event(QEvent* event) override;

 private:
  struct WriteJob {
    std::array<std::uint8_t, apdesk::kHidReportSize> report;
    std::uint64_t generation;
  };

  bool OpenFound(const apdesk::HidDeviceInfo& found, bool notify);
  void WriteOne(const std::uint8_t* report);
  void ReaderLoop();
  void WriterLoop();
  void Notify(apdesk::TransportFailure why);

  std::unique_ptr<apdesk::IHidBackend> m_backend;
  Notifier m_notifier;
  LostHandler m_lost;
  apdesk::HidDeviceInfo m_lastOpened;
  QPointer<QObject> m_owner;

  bool m_ready = false;
  std::deque<std::uint8_t> m_queue;
  std::array<std::uint8_t, kTransferSize> m_rxBuffer{};

  // Shared with the I/O threads, guarded by m_mutex. The threads keep their
  // own reference to the device while they use it, so Close never waits for
  // an I/O call to return.
  mutable std::mutex m_mutex;
  std::condition_variable m_readWake;
  std::condition_variable m_writeWake;
  std::shared_ptr<apdesk::IHidDevice> m_device;
  std::uint64_t m_generation = 0;  // counts opens; completions of older devices are dropped
  bool m_readArmed = false;
  bool m_readFailed = false;
  bool m_stopping = false;
  std::deque<WriteJob> m_writeJobs;

  std::thread m_reader;
  std::thread m_writer;
};
