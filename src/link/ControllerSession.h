#pragma once
// One connection to the controller: the two transports, the command link
// that sends through them, the one receive path (ControllerLink) and, once
// asked, the follower that reopens a device that went away. Opening one
// transport closes the other. The application object and apctl each hold one
// session; every reader connects to its signals:
//
//   StatusSentence, ParameterSentence, InstallErrorSentence, SentenceTaken,
//   UsbReport, CountersChanged   what arrived (link/ControllerLink.h)
//   Connected(serial)            a transport opened here
//   Closed()                     Close() closed what was open
//   LinkLost(serial, why)        the open device or port went away
//   Lost(serial, why)            ...and, while following, the follower closed it
//   Returned(serial)             the follower has it open again
//
// Sentence pointers are valid only during the signal; connect directly on
// the thread that owns the session.

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

#include "core/CommConfig.h"
#include "core/HidBackend.h"
#include "link/CommUart.h"
#include "link/CommandLink.h"
#include "link/ControllerLink.h"
#include "link/HidLink.h"
#include "link/LinkFollower.h"

namespace apdesk {

class ControllerSession : public QObject {
  Q_OBJECT

 public:
  // hidBackend plays the USB device (hidapi, the simulated controller, a
  // socket peer); null leaves the HID link without one until SetBackend.
  explicit ControllerSession(std::unique_ptr<IHidBackend> hidBackend, QObject* parent = nullptr);
  ~ControllerSession() override;
  ControllerSession(const ControllerSession&) = delete;
  ControllerSession& operator=(const ControllerSession&) = delete;

  CCommUart& Serial() { return m_uart; }
  const CCommUart& Serial() const { return m_uart; }
  CHidLink& Usb() { return m_hid; }
  const CHidLink& Usb() const { return m_hid; }
  CCommandLink& Commands() { return m_commands; }
  ControllerLink& Link() { return m_link; }
  const ControllerLink& Link() const { return m_link; }

  // Closes the USB device and opens the serial port; false when it would not open.
  bool OpenSerial(const std::string& port, const LineSettings& line);
  // Closes the serial port and opens the first USB device with these ids.
  // From here on USB reports are not handed out as UsbReport until
  // EndUsbOpening: the caller may still be telling the operator about it.
  bool OpenUsb(std::uint16_t vendorId, std::uint16_t productId);
  void EndUsbOpening() { m_link.SetUsbOpening(false); }
  void Close();
  bool IsOpen() const { return m_uart.IsOpen() || m_hid.IsOpen(); }
  bool IsSerial() const { return m_uart.IsOpen(); }

  // From now on a device that goes away is closed, looked for once a second
  // and reopened (link/LinkFollower.h). Made once; later calls return it.
  LinkFollower& Follow();
  // Null until Follow.
  LinkFollower* Follower() { return m_follower.get(); }
  const LinkFollower* Follower() const { return m_follower.get(); }

  // Stops the HID link's threads; the session is done.
  void Stop();

 Q_SIGNALS:
  void StatusSentence(const std::uint8_t* sentence);
  void ParameterSentence(const std::uint8_t* sentence);
  void InstallErrorSentence(const std::uint8_t* sentence);
  void SentenceTaken(int tag, const std::uint8_t* sentence, int length, bool good);
  void UsbReport(const std::uint8_t* report);
  void CountersChanged();
  void Connected(bool serial);
  void Closed();
  void LinkLost(bool serial, apdesk::TransportFailure why);
  void Lost(bool serial, apdesk::TransportFailure why);
  void Returned(bool serial);

 private:
  // Declared in the order they are built: the transports before the links over them.
  CCommUart m_uart;
  CHidLink m_hid;
  CCommandLink m_commands;
  ControllerLink m_link;
  std::unique_ptr<LinkFollower> m_follower;
};

}  // namespace apdesk
