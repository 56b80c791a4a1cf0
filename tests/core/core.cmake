if(WIN32)
  # On Windows only what needs no POSIX: the settings and application-folder
  # tests make folders with mkdtemp and pipes with mkfifo, and read the XDG
  # folders and permission bits, which Windows has not.
  apdesk_test(apdesk_settings_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/LetterPairTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CommConfigTest.cpp
    LIBS apdesk_core)
else()
  apdesk_test(apdesk_settings_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/LetterPairTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CommConfigTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/IniFileTest.cpp ${CMAKE_CURRENT_LIST_DIR}/SettingsStoreTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/AppFolderTest.cpp
    LIBS apdesk_core)
endif()
