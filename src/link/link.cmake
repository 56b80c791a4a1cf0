if(APDESK_WITH_QT)
  # The transports: serial port, HID link, command link. Qt Core only.
  add_library(apdesk_link STATIC
    LinkEvents.h
    Transport.h
    CommUart.h CommUart.cpp
    HidLink.h HidLink.cpp
    CommandLink.h CommandLink.cpp
    ControllerLink.h ControllerLink.cpp)
  apdesk_export_headers(apdesk_link)
  target_link_libraries(apdesk_link PUBLIC apdesk_protocol apdesk_hidsock apdesk_hidapi apdesk_core
    Qt6::Core Qt6::SerialPort Threads::Threads)
endif()
