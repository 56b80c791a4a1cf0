#include "link/ControllerLink.h"

#include "link/CommUart.h"
#include "link/HidLink.h"
#include "link/LinkEvents.h"

namespace apdesk {

ControllerLink::ControllerLink(CCommUart& uart, CHidLink& hid, QObject* parent)
    : QObject(parent), m_uart(uart), m_hid(hid) {
  m_uart.Init(this);
  m_uart.SetFailureHandler(
      [this](const std::string& text) { Q_EMIT LinkLost(true, QString::fromStdString(text)); });
  m_hid.StartReader(this);
}

ControllerLink::~ControllerLink() = default;

bool ControllerLink::event(QEvent* e) {
  return DispatchLinkEvent(*this, e) || QObject::event(e);
}

void ControllerLink::Feed(const std::uint8_t* bytes, std::size_t length) {
  m_parser.Parse(bytes, length, *this);
  Q_EMIT CountersChanged();
}

void ControllerLink::ParseSentences() {
  m_parser.ParseSentences(*this);
  Q_EMIT CountersChanged();
}

void ControllerLink::OnUartReceived() {
  m_uart.CompleteRead();
  if (m_uart.m_rxFill > m_uart.m_rxConsumed) {
    m_parser.Append(m_uart.m_rxBuffer + m_uart.m_rxConsumed, m_uart.m_rxFill - m_uart.m_rxConsumed);
  }
  m_uart.m_rxConsumed = 0;
  m_uart.m_rxFill = 0;
  m_uart.ArmRead();
  ParseSentences();
}

void ControllerLink::OnUartSent() {
  m_uart.CompleteWrite();
}

void ControllerLink::OnHidReceived() {
  std::uint8_t report[kHidReportSize];
  m_hid.TakeReport(report);
  ++m_usbReports;
  // While Open USB runs (its box included), reports are not the upgrade's.
  if (!m_usbOpening) Q_EMIT UsbReport(report);
  m_parser.Parse(report, sizeof report, *this);
  Q_EMIT CountersChanged();
}

void ControllerLink::OnHidSent() {
  m_hid.SetReady(true);
  m_hid.Flush();
}

void ControllerLink::OnHidLost() {
  Q_EMIT LinkLost(false, QString());
}

void ControllerLink::OnStatusSentence(const std::uint8_t* sentence) {
  Q_EMIT StatusSentence(sentence);
}

void ControllerLink::OnParameterSentence(const std::uint8_t* sentence) {
  Q_EMIT ParameterSentence(sentence);
}

void ControllerLink::OnInstallErrorSentence(const std::uint8_t* sentence) {
  Q_EMIT InstallErrorSentence(sentence);
}

void ControllerLink::OnSentence(SentenceTag tag, const std::uint8_t* sentence, std::size_t length,
                                bool good) {
  Q_EMIT SentenceTaken(static_cast<int>(tag), sentence, static_cast<int>(length), good);
}

}  // namespace apdesk
