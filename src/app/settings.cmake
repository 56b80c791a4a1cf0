# The settings file and application folder: plain C++, no Qt.
add_library(apdesk_settings STATIC
  ${CMAKE_CURRENT_LIST_DIR}/LetterPair.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommConfig.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AppFolder.cpp)
apdesk_export_headers(apdesk_settings)
target_link_libraries(apdesk_settings PUBLIC apdesk_files)
set_target_properties(apdesk_settings PROPERTIES AUTOMOC OFF)
