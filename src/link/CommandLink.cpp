#include "link/CommandLink.h"

using namespace apdesk;

CCommandLink::CCommandLink(ITransport& serial, ITransport& usb) : m_serial(serial), m_usb(usb) {}

CCommandLink::~CCommandLink() = default;

void CCommandLink::SendFrame(const std::uint8_t* bytes, std::size_t length) {
  // A closed serial port drops the bytes; the HID link drops them too but
  // keeps its pause, as it always did.
  m_serial.Write(bytes, length);
  m_usb.Write(bytes, length);
}

void CCommandLink::SendGetParameters() {
  SendFrame(BuildGetParametersFrame());
}

void CCommandLink::SendCommand(std::uint8_t code) {
  SendFrame(BuildCommandFrame(code));
}

void CCommandLink::SendParameters(const std::array<std::uint8_t, kParameterBlockSize>& block) {
  SendFrame(BuildSetParametersFrame(block));
}

void CCommandLink::SendRestoreDefaults() {
  SendFrame(BuildRestoreDefaultsFrame());
}
