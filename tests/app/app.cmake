apdesk_test(apdesk_settings_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LetterPairTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CommConfigTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/IniFileTest.cpp ${CMAKE_CURRENT_LIST_DIR}/SettingsStoreTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/AppFolderTest.cpp
  LIBS apdesk_settings)

if(APDESK_WITH_QT)
  apdesk_test(apdesk_app_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CConfigAppTest.cpp
    LIBS apdesk_app)
endif()
