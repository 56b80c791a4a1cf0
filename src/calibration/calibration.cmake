# The stick gauge's geometry: plain C++, no Qt.
apdesk_library(apdesk_stickgeometry SOURCES StickGaugeGeometry.cpp PUBLIC apdesk_protocol)

# The stick gauge and the calibration window.
apdesk_library(apdesk_calibration QT
  SOURCES CStickGauge.h CStickGauge.cpp CAdjustTransmitterDlg.h CAdjustTransmitterDlg.cpp
  PUBLIC apdesk_stickgeometry apdesk_keyfilter apdesk_dialogs apdesk_localisation apdesk_pictures apdesk_protocol
    apdesk_hidsock Qt6::Widgets)
