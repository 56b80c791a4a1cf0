if(APDESK_WITH_QT)
  # The upgrade window over the exchange; replies go out through the HID link.
  add_library(apdesk_upgrade STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CUpgradeDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/CUpgradeDlg.cpp)
  apdesk_export_headers(apdesk_upgrade)
  target_link_libraries(apdesk_upgrade PUBLIC apdesk_upgrade_core apdesk_keyfilter apdesk_dialogs
    apdesk_localisation apdesk_link Qt6::Widgets)
endif()
