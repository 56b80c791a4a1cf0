# The main window with its connection controls, parameter fields and telemetry.
if(APDESK_WITH_QT)
  add_library(apdesk_console STATIC
    CSetApDlg.h CSetApDlg.cpp ConnectionControls.cpp ParameterControls.cpp TelemetryDisplay.cpp
    MainMenu.cpp ToolWindows.cpp ConnectionStatus.h ConnectionStatus.cpp ParameterCompareDlg.h
    ParameterCompareDlg.cpp ParameterFiles.cpp MapWindow.cpp MapParts.h AlertsHook.cpp NmeaShareMenu.cpp)
  target_link_libraries(apdesk_console PUBLIC apdesk_dialogs apdesk_messageboxes apdesk_protocol apdesk_app
    apdesk_link apdesk_localisation apdesk_recorder apdesk_recordfile apdesk_pictures apdesk_calibration
    apdesk_gpscheck apdesk_upgrade apdesk_telemetryplots apdesk_inspector apdesk_viewer apdesk_replay
    apdesk_params apdesk_portproblem Qt6::Widgets Qt6::SerialPort)
  apdesk_export_headers(apdesk_console)
  target_link_libraries(apdesk_console PUBLIC apdesk_session apdesk_connectiontext)
  target_link_libraries(apdesk_console PUBLIC apdesk_mapwindow)
  target_link_libraries(apdesk_console PUBLIC apdesk_alertswindow)
  target_link_libraries(apdesk_console PUBLIC apdesk_nmeawindow)
endif()

# The status line's words; plain C++.
add_library(apdesk_connectiontext STATIC ConnectionStatusText.cpp)
apdesk_export_headers(apdesk_connectiontext)
set_target_properties(apdesk_connectiontext PROPERTIES AUTOMOC OFF)
