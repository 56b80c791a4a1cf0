#pragma once
// Follows the controller across unplugging and replugging. When the link
// reports the open device or port lost, the follower closes that transport,
// says so once, and looks for the same device again once a second: the same
// serial port name, or the USB device with the same ids (and serial number
// or path where it gives one, core/DeviceMatch.h). When it is back and open,
// the follower says so; the owner asks for the parameters. Looking costs one
// device listing (USB) or one look at the device node (serial) a second; while
// connected, or when the operator chose another connection, it does nothing.
//
// WaitForUsb looks the same way for the first device with the controller's
// ids, for a program that connects to whatever controller appears.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <string>

#include "core/CommConfig.h"
#include "core/HidBackend.h"
#include "core/LinkFailure.h"

class CCommUart;
class CHidLink;

namespace apdesk {

class ControllerLink;

class LinkFollower : public QObject {
  Q_OBJECT

 public:
  static constexpr int kLookIntervalMs = 1000;

  LinkFollower(ControllerLink& link, CCommUart& uart, CHidLink& hid, QObject* parent = nullptr);

  // Looks for the first device 0483:5750 until one opens.
  void WaitForUsb();
  // Stops looking; the transports are left as they are.
  void Stop();

  bool Looking() const { return m_timer.isActive(); }
  // Looking for a device that was open (not for a first one).
  bool IsLost() const { return Looking() && m_lostAt.isValid(); }
  bool LostSerial() const { return m_serial; }
  // When the last loss was seen (invalid before any).
  QDateTime LostAt() const { return m_lostAt; }
  // What the follower looks for: the port name, or the USB device's path.
  QString LookingFor() const;
  // Milliseconds from the last loss to the device's return (-1 before one).
  qint64 LastReturnMs() const { return m_lastReturnMs; }

  // Looks once now (the timer's work); tests call it to skip the wait.
  void LookOnce();

 Q_SIGNALS:
  // The open device or port went away; its transport is closed. Once per loss.
  void Lost(bool serial, apdesk::TransportFailure why);
  // The device is open again (serial: the same port; USB: reports flow).
  void Returned(bool serial);

 private:
  void OnLinkLost(bool serial, apdesk::TransportFailure why);

  CCommUart& m_uart;
  CHidLink& m_hid;
  QTimer m_timer;
  bool m_serial = false;
  std::string m_port;
  LineSettings m_line;
  HidDeviceInfo m_device;
  QDateTime m_lostAt;
  qint64 m_lastReturnMs = -1;
};

}  // namespace apdesk
