# The compass judgement and the dial's geometry: plain C++, no Qt.
add_library(apdesk_compass STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CompassJudgement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CompassDialGeometry.cpp)
apdesk_export_headers(apdesk_compass)

if(APDESK_WITH_QT)
  # The check window and its dial.
  add_library(apdesk_gpscheck STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CCompassDial.h
    ${CMAKE_CURRENT_LIST_DIR}/CCompassDial.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CGpsCheckDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/CGpsCheckDlg.cpp)
  apdesk_export_headers(apdesk_gpscheck)
  target_link_libraries(apdesk_gpscheck PUBLIC apdesk_compass apdesk_protocol apdesk_dialogs apdesk_localisation apdesk_hidsock Qt6::Widgets)
endif()
