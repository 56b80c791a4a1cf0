# Alerts from the controller's own limits: rules and their texts, plain C++.
apdesk_library(apdesk_alerts SOURCES AlertRules.cpp AlertText.cpp PUBLIC apdesk_protocol)

# The window's side: the speaker over Qt TextToSpeech, the alert list and
# the status line.
apdesk_library(apdesk_alertswindow QT COMPONENTS TextToSpeech
  SOURCES SpeechOutput.h QtSpeechOutput.cpp AlertSpeaker.cpp AlertCentre.cpp CAlertsDlg.cpp
  PUBLIC apdesk_alerts Qt6::Widgets PRIVATE Qt6::TextToSpeech)
