# The compass judgement and the dial's geometry: plain C++, no Qt.
apdesk_library(apdesk_compass SOURCES CompassJudgement.cpp CompassDialGeometry.cpp)

# The check window and its dial.
apdesk_library(apdesk_gpscheck QT SOURCES CCompassDial.h CCompassDial.cpp CGpsCheckDlg.h CGpsCheckDlg.cpp
  PUBLIC apdesk_compass apdesk_protocol apdesk_dialogs apdesk_localisation apdesk_hidsock
    apdesk_session Qt6::Widgets)
