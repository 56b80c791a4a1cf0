apdesk_test(telemetry_history_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TelemetryHistoryTest.cpp
  LIBS apdesk_telemetryhistory)
set_target_properties(telemetry_history_test PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  apdesk_test(telemetry_plots_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CTelemetryPlotsDlgTest.cpp
    LIBS apdesk_telemetryplots apdesk_core)
  target_compile_definitions(telemetry_plots_window_test PRIVATE APDESK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
