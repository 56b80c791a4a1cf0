# The main window with its connection controls, parameter fields and telemetry.
apdesk_library(apdesk_console QT
  SOURCES CSetApDlg.h CSetApDlg.cpp WindowState.h WindowControls.h AircraftChooser.h AircraftChooser.cpp
    ConnectionControls.h ConnectionControls.cpp ParameterControls.h ParameterControls.cpp
    TelemetryDisplay.h TelemetryDisplay.cpp MainMenu.h MainMenu.cpp ToolWindows.h ToolWindows.cpp
    ConnectionStatus.h ConnectionStatus.cpp ParameterCompareDlg.h ParameterCompareDlg.cpp
    ParameterFiles.h ParameterFiles.cpp MapWindow.h MapWindow.cpp AlertsHook.h AlertsHook.cpp
    NmeaShareMenu.h NmeaShareMenu.cpp FlightRecording.h FlightRecording.cpp
  PUBLIC apdesk_dialogs apdesk_messageboxes apdesk_protocol apdesk_app apdesk_link apdesk_localisation
    apdesk_recorder apdesk_recordfile apdesk_pictures apdesk_calibration apdesk_gpscheck apdesk_upgrade
    apdesk_telemetryplots apdesk_inspector apdesk_viewer apdesk_replay apdesk_params apdesk_portproblem
    apdesk_session apdesk_connectiontext apdesk_mapwindow apdesk_alertswindow apdesk_nmeawindow
    Qt6::Widgets Qt6::SerialPort)

# The status line's words; plain C++.
apdesk_library(apdesk_connectiontext SOURCES ConnectionStatusText.cpp)
