#include "link/CommandLink.h"

#include "link/HidLink.h"

using namespace apdesk;

CCommandLink::CCommandLink(CHidLink& hidLink) : m_hidLink(hidLink) {}

CCommandLink::~CCommandLink() = default;

void CCommandLink::SendFrame(const std::uint8_t* bytes, std::size_t length) {
  if (m_uart.IsOpen()) m_uart.Write(bytes, static_cast<std::uint32_t>(length));
  m_hidLink.Send(bytes, length);
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
