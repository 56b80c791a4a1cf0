# The stick gauge's geometry: plain C++, no Qt.
add_library(apdesk_stickgeometry STATIC ${CMAKE_CURRENT_LIST_DIR}/StickGaugeGeometry.cpp)
target_link_libraries(apdesk_stickgeometry PUBLIC apdesk_protocol)
apdesk_export_headers(apdesk_stickgeometry)

if(APDESK_WITH_QT)
  # The stick gauge and the calibration window.
  add_library(apdesk_calibration STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CStickGauge.h
    ${CMAKE_CURRENT_LIST_DIR}/CStickGauge.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CAdjustTransmitterDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/CAdjustTransmitterDlg.cpp)
  apdesk_export_headers(apdesk_calibration)
  target_link_libraries(apdesk_calibration PUBLIC apdesk_stickgeometry apdesk_keyfilter apdesk_dialogs
    apdesk_localisation apdesk_pictures apdesk_protocol apdesk_hidsock Qt6::Widgets)
endif()
