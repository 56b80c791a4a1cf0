# The upgrade window over the exchange; replies go out through the HID link.
apdesk_library(apdesk_upgrade QT SOURCES CUpgradeDlg.h CUpgradeDlg.cpp
  PUBLIC apdesk_upgrade_core apdesk_keyfilter apdesk_dialogs apdesk_localisation apdesk_link apdesk_session
    Qt6::Widgets)
