# The live telemetry plots: the history of the plotted values (plain C++) and
# the window that draws it with the shared plot set-up.
add_library(apdesk_telemetryhistory STATIC
  ${CMAKE_CURRENT_LIST_DIR}/TelemetryHistory.cpp)
apdesk_export_headers(apdesk_telemetryhistory)
target_link_libraries(apdesk_telemetryhistory PUBLIC apdesk_plot_quantities apdesk_protocol)
set_target_properties(apdesk_telemetryhistory PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  add_library(apdesk_telemetryplots STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CTelemetryPlotsDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/CTelemetryPlotsDlg.cpp)
  apdesk_export_headers(apdesk_telemetryplots)
  target_link_libraries(apdesk_telemetryplots PUBLIC apdesk_telemetryhistory apdesk_plot apdesk_localisation
    Qt6::Widgets)
endif()
