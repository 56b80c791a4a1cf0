#pragma once
// Sends every command frame to both transports: to the serial port when it
// is open, and always to the HID link, which pauses 50 ms per frame.

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/Transport.h"
#include "protocol/CommandFrame.h"

class CCommandLink {
 public:
  // Both transports belong to the owner of this link and outlive it.
  CCommandLink(apdesk::ITransport& serial, apdesk::ITransport& usb);
  virtual ~CCommandLink();
  CCommandLink(const CCommandLink&) = delete;
  CCommandLink& operator=(const CCommandLink&) = delete;

  void SendFrame(const std::uint8_t* bytes, std::size_t length);
  void SendFrame(const apdesk::CommandFrame& frame) { SendFrame(frame.data(), frame.size()); }
  void SendGetParameters();
  void SendCommand(std::uint8_t code);
  void SendParameters(const std::array<std::uint8_t, apdesk::kParameterBlockSize>& block);
  void SendRestoreDefaults();

 private:
  apdesk::ITransport& m_serial;
  apdesk::ITransport& m_usb;
};
