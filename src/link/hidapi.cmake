if(APDESK_WITH_QT)
  # Real HID devices; links hidapi only, no Qt.
  add_library(apdesk_hidapi STATIC HidapiBackend.cpp)
  apdesk_export_headers(apdesk_hidapi)
  set_target_properties(apdesk_hidapi PROPERTIES AUTOMOC OFF)
  target_link_libraries(apdesk_hidapi PUBLIC apdesk_hidbackend PkgConfig::HIDAPI)
endif()
if(APDESK_WITH_QT)
  # The factory of the USB back end a --connect target names.
  add_library(apdesk_connect STATIC HidBackendFactory.cpp)
  apdesk_export_headers(apdesk_connect)
  set_target_properties(apdesk_connect PROPERTIES AUTOMOC OFF)
  target_link_libraries(apdesk_connect PUBLIC apdesk_connect_target apdesk_hidbackend apdesk_hidapi apdesk_hidsock
    apdesk_sim)
endif()
