if(APDESK_WITH_QT)
  # Real HID devices; links hidapi only, no Qt.
  apdesk_library(apdesk_hidapi SOURCES HidapiBackend.cpp PUBLIC apdesk_core PkgConfig::HIDAPI)
endif()
