#include "link/LinkFollower.h"

#include <unistd.h>

#include "link/CommUart.h"
#include "link/ControllerLink.h"
#include "link/HidLink.h"

namespace apdesk {

namespace {

// The device node a port name stands for: a path as it is, a bare name
// (ttyUSB0) under /dev, where the serial port looks for it.
std::string PortNode(const std::string& name) {
  return name.find('/') != std::string::npos ? name : "/dev/" + name;
}

}  // namespace

LinkFollower::LinkFollower(ControllerLink& link, CCommUart& uart, CHidLink& hid, QObject* parent)
    : QObject(parent), m_uart(uart), m_hid(hid) {
  m_timer.setInterval(kLookIntervalMs);
  // Coarse: the look may come late by a little, and the process wakes less.
  m_timer.setTimerType(Qt::CoarseTimer);
  connect(&m_timer, &QTimer::timeout, this, &LinkFollower::LookOnce);
  connect(&link, &ControllerLink::LinkLost, this, &LinkFollower::OnLinkLost);
}

void LinkFollower::WaitForUsb() {
  m_serial = false;
  m_lostAt = QDateTime();
  m_device = HidDeviceInfo{};
  m_device.vendorId = kControllerVendorId;
  m_device.productId = kControllerProductId;
  m_timer.start();
  LookOnce();
}

void LinkFollower::Stop() {
  m_timer.stop();
}

QString LinkFollower::LookingFor() const {
  return QString::fromStdString(m_serial ? m_port : m_device.path);
}

void LinkFollower::OnLinkLost(bool serial, TransportFailure why) {
  // Only the transport that is open can be lost; a late message of one
  // already closed changes nothing.
  if (serial ? !m_uart.IsOpen() : !m_hid.IsOpen()) return;
  m_serial = serial;
  if (serial) {
    m_port = m_uart.LastPortName();
    m_line = m_uart.LastLine();
    m_uart.Close();
  } else {
    m_device = m_hid.LastOpened();
    m_hid.Close();
  }
  m_lostAt = QDateTime::currentDateTime();
  m_timer.start();
  Q_EMIT Lost(serial, why);
}

void LinkFollower::LookOnce() {
  if (!m_timer.isActive()) return;
  // The operator opened something meanwhile: that choice stands.
  if (m_uart.IsOpen() || m_hid.IsOpen()) {
    m_timer.stop();
    return;
  }
  bool open = false;
  if (m_serial) {
    // Most looks find no device node; only a present one is opened.
    open = ::access(PortNode(m_port).c_str(), F_OK) == 0 && m_uart.Open(m_port, m_line);
  } else {
    // Without a previous device (WaitForUsb) the first with the ids is taken.
    open = m_hid.Reopen(m_device);
  }
  if (!open) return;
  m_timer.stop();
  if (m_lostAt.isValid()) m_lastReturnMs = m_lostAt.msecsTo(QDateTime::currentDateTime());
  Q_EMIT Returned(m_serial);
}

}  // namespace apdesk
