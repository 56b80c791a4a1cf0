# The plain-C++ core under the transports and the windows: the settings file,
# the application folder, the serial settings, the --connect grammar and the
# HID back-end seam. No Qt; it also builds for Windows.
if(WIN32)
  set(core_platform AppFolderWindows.cpp)
else()
  set(core_platform AppFolderPosix.cpp)
endif()
apdesk_library(apdesk_core
  SOURCES LetterPair.cpp IniFile.cpp SettingsStore.cpp CommConfig.cpp AppFolder.cpp ConnectTarget.cpp DeviceMatch.cpp
    ${core_platform}
  HEADERS HidBackend.h LinkFailure.h
  PUBLIC apdesk_files)
