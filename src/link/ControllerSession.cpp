#include "link/ControllerSession.h"

namespace apdesk {

ControllerSession::ControllerSession(std::unique_ptr<IHidBackend> hidBackend, QObject* parent)
    : QObject(parent), m_hid(std::move(hidBackend)), m_commands(m_uart, m_hid), m_link(m_uart, m_hid) {
  connect(&m_link, &ControllerLink::StatusSentence, this, &ControllerSession::StatusSentence);
  connect(&m_link, &ControllerLink::ParameterSentence, this, &ControllerSession::ParameterSentence);
  connect(&m_link, &ControllerLink::InstallErrorSentence, this, &ControllerSession::InstallErrorSentence);
  connect(&m_link, &ControllerLink::SentenceTaken, this, &ControllerSession::SentenceTaken);
  connect(&m_link, &ControllerLink::UsbReport, this, &ControllerSession::UsbReport);
  connect(&m_link, &ControllerLink::CountersChanged, this, &ControllerSession::CountersChanged);
  connect(&m_link, &ControllerLink::LinkLost, this, &ControllerSession::LinkLost);
}

ControllerSession::~ControllerSession() {
  m_follower.reset();
  Stop();
}

bool ControllerSession::OpenSerial(const std::string& port, const LineSettings& line) {
  m_hid.Close();
  if (!m_uart.Open(port, line)) return false;
  Q_EMIT Connected(true);
  return true;
}

bool ControllerSession::OpenUsb(std::uint16_t vendorId, std::uint16_t productId) {
  m_link.SetUsbOpening(true);
  m_uart.Close();
  if (!m_hid.Open(vendorId, productId)) return false;
  Q_EMIT Connected(false);
  return true;
}

void ControllerSession::Close() {
  const bool wasOpen = IsOpen();
  m_hid.Close();
  m_uart.Close();
  if (wasOpen) Q_EMIT Closed();
}

LinkFollower& ControllerSession::Follow() {
  if (!m_follower) {
    m_follower = std::make_unique<LinkFollower>(m_link, m_uart, m_hid);
    connect(m_follower.get(), &LinkFollower::Lost, this, &ControllerSession::Lost);
    connect(m_follower.get(), &LinkFollower::Returned, this, &ControllerSession::Returned);
  }
  return *m_follower;
}

void ControllerSession::Stop() {
  m_hid.Stop();
}

}  // namespace apdesk
