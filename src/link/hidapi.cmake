if(APDESK_WITH_QT)
  # Real HID devices; links hidapi only, no Qt.
  add_library(apdesk_hidapi STATIC HidapiBackend.cpp)
  apdesk_export_headers(apdesk_hidapi)
  set_target_properties(apdesk_hidapi PROPERTIES AUTOMOC OFF)
  target_link_libraries(apdesk_hidapi PUBLIC apdesk_core PkgConfig::HIDAPI)
endif()
