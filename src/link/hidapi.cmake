if(APDESK_WITH_QT)
  # Real HID devices; links hidapi only, no Qt.
  add_library(apdesk_hidapi STATIC HidapiBackend.cpp)
  target_include_directories(apdesk_hidapi PUBLIC ${PROJECT_SOURCE_DIR}/src)
  set_target_properties(apdesk_hidapi PROPERTIES AUTOMOC OFF)
  target_link_libraries(apdesk_hidapi PUBLIC PkgConfig::HIDAPI)
endif()
