# The transports: serial port, HID link, command link. Qt Core only.
apdesk_library(apdesk_link QT
  SOURCES CommUart.cpp HidLink.cpp CommandLink.cpp ControllerLink.cpp
  HEADERS LinkEvents.h Transport.h
  PUBLIC apdesk_protocol apdesk_hidsock apdesk_hidapi apdesk_core Qt6::Core Qt6::SerialPort Threads::Threads)
