# Alerts from the controller's own limits: rules and their texts, plain C++.
add_library(apdesk_alerts STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AlertRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AlertText.cpp)
apdesk_export_headers(apdesk_alerts)
target_link_libraries(apdesk_alerts PUBLIC apdesk_protocol)
set_target_properties(apdesk_alerts PROPERTIES AUTOMOC OFF)

# The window's side: the speaker over Qt TextToSpeech, the alert list and
# the status line.
if(APDESK_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS TextToSpeech)
  add_library(apdesk_alertswindow STATIC
    ${CMAKE_CURRENT_LIST_DIR}/SpeechOutput.h
    ${CMAKE_CURRENT_LIST_DIR}/QtSpeechOutput.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AlertSpeaker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AlertCentre.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CAlertsDlg.cpp)
  apdesk_export_headers(apdesk_alertswindow)
  target_link_libraries(apdesk_alertswindow PUBLIC apdesk_alerts Qt6::Widgets PRIVATE Qt6::TextToSpeech)
endif()
