#pragma once
// What the receive path and the command link need of a way to the
// controller, whatever carries the bytes (serial port, USB HID). Opening
// takes what each transport needs (a port name and line settings, or the
// device's ids) and so stays with the transport; the rest is common.
//
// The flow is that of completions: the transport posts "received" and "sent"
// messages (link/LinkEvents.h) to the owner it was attached to, and the
// owner collects with TakeArrived and WriteDone on its own thread.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/LinkFailure.h"

class QObject;

namespace apdesk {

class ITransport {
 public:
  using Arrived = std::function<void(const std::uint8_t* bytes, std::size_t length)>;
  using LostHandler = std::function<void(TransportFailure why)>;

  virtual ~ITransport() = default;

  // The owner of the completion messages; `lost` runs once per device or
  // port that went away after it was open.
  virtual void Attach(QObject* owner, LostHandler lost) = 0;
  virtual bool IsOpen() const = 0;
  virtual void Close() = 0;
  // Bytes of command frames; dropped while nothing is open.
  virtual void Write(const std::uint8_t* bytes, std::size_t length) = 0;
  // On the owner's "received" message: hands over the bytes that arrived
  // (a USB report is always one whole 64-byte piece) and arms the next read.
  virtual void TakeArrived(const Arrived& arrived) = 0;
  // On the owner's "sent" message: the write finished, the next may go.
  virtual void WriteDone() = 0;
};

}  // namespace apdesk
