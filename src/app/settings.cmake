# The settings file and application folder: plain C++, no Qt.
add_library(apdesk_settings STATIC
  ${CMAKE_CURRENT_LIST_DIR}/LetterPair.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommConfig.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AppFolder.cpp)
target_include_directories(apdesk_settings PUBLIC ${PROJECT_SOURCE_DIR}/src)
set_target_properties(apdesk_settings PROPERTIES AUTOMOC OFF)
