# The plain-C++ core under the transports and the windows: the settings file,
# the application folder, the serial settings, the --connect grammar and the
# HID back-end seam. No Qt; it also builds for Windows.
if(WIN32)
  set(core_platform ${CMAKE_CURRENT_LIST_DIR}/AppFolderWindows.cpp)
else()
  set(core_platform ${CMAKE_CURRENT_LIST_DIR}/AppFolderPosix.cpp)
endif()
add_library(apdesk_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/LetterPair.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommConfig.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AppFolder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConnectTarget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DeviceMatch.cpp
  ${core_platform})
apdesk_export_headers(apdesk_core HEADERS ${CMAKE_CURRENT_LIST_DIR}/HidBackend.h ${CMAKE_CURRENT_LIST_DIR}/LinkFailure.h)
target_link_libraries(apdesk_core PUBLIC apdesk_files)
set_target_properties(apdesk_core PROPERTIES AUTOMOC OFF)
