#include "link/ControllerLink.h"

#include "link/LinkEvents.h"
#include "link/Transport.h"

namespace apdesk {

ControllerLink::ControllerLink(ITransport& serial, ITransport& usb, QObject* parent)
    : QObject(parent), m_serial(serial), m_usb(usb) {
  m_serial.Attach(this, [this](TransportFailure why) { Q_EMIT LinkLost(true, why); });
  m_usb.Attach(this, [this](TransportFailure why) { Q_EMIT LinkLost(false, why); });
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
  m_serial.TakeArrived([this](const std::uint8_t* bytes, std::size_t length) { Append(bytes, length); });
  ParseSentences();
}

void ControllerLink::OnUartSent() {
  m_serial.WriteDone();
}

void ControllerLink::OnHidReceived() {
  m_usb.TakeArrived([this](const std::uint8_t* report, std::size_t length) {
    ++m_usbReports;
    // While Open USB runs (its box included), reports are not the upgrade's.
    if (!m_usbOpening) Q_EMIT UsbReport(report);
    m_parser.Parse(report, length, *this);
  });
  Q_EMIT CountersChanged();
}

void ControllerLink::OnHidSent() {
  m_usb.WriteDone();
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
