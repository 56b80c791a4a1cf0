# A flight record as numbers for the viewer: plain C++, no Qt.
add_library(apdesk_flightdata STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FlightData.cpp)
apdesk_export_headers(apdesk_flightdata)
target_link_libraries(apdesk_flightdata PUBLIC apdesk_recordfile apdesk_plot_quantities)
set_target_properties(apdesk_flightdata PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  # The "Flight records" window: the files of Hj/, plots over time and the track.
  add_library(apdesk_viewer STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CFlightRecordsDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/CFlightRecordsDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FlightMap.cpp)
  apdesk_export_headers(apdesk_viewer)
  target_link_libraries(apdesk_viewer PUBLIC apdesk_flightdata apdesk_plot apdesk_localisation Qt6::Widgets)
  target_link_libraries(apdesk_viewer PUBLIC apdesk_mapview)
endif()
