if(APDESK_WITH_QT)
  # The upgrade window over the exchange; replies go out through the HID link.
  add_library(apdesk_upgrade STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CUpgradeDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/CUpgradeDlg.cpp)
  target_include_directories(apdesk_upgrade PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(apdesk_upgrade PUBLIC apdesk_upgrade_core apdesk_keyfilter apdesk_dialogs
    apdesk_localisation apdesk_link Qt6::Widgets)
endif()
