if(APDESK_WITH_QT)
  # The transports: serial port, HID link, command link. Qt Core only.
  add_library(apdesk_link STATIC
    LinkEvents.h
    CommUart.h CommUart.cpp
    HidLink.h HidLink.cpp
    CommandLink.h CommandLink.cpp)
  target_include_directories(apdesk_link PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(apdesk_link PUBLIC apdesk_frames apdesk_hidapi apdesk_settings
    Qt6::Core Qt6::SerialPort Threads::Threads)
endif()
