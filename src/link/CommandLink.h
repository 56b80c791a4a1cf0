#pragma once
// Sends every command frame to both transports: to the serial port when it
// is open, and always to the HID link, which pauses 50 ms per frame.

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/CommUart.h"
#include "protocol/CommandFrame.h"

class CHidLink;

class CCommandLink {
 public:
  // The HID link belongs to the application object beside this one; it may
  // still be under construction here, it is only used when sending.
  explicit CCommandLink(CHidLink& hidLink, apdesk::SettingsStore* settings = nullptr);
  virtual ~CCommandLink();
  CCommandLink(const CCommandLink&) = delete;
  CCommandLink& operator=(const CCommandLink&) = delete;

  void SendFrame(const std::uint8_t* bytes, std::size_t length);
  void SendFrame(const apdesk::CommandFrame& frame) { SendFrame(frame.data(), frame.size()); }
  void SendGetParameters();
  void SendCommand(std::uint8_t code);
  void SendParameters(const std::array<std::uint8_t, apdesk::kParameterBlockSize>& block);
  void SendRestoreDefaults();

  CCommUart m_uart;

 private:
  CHidLink& m_hidLink;
};
