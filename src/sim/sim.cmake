# The simulated controller: Qt-free, so the command-line tool, the tests and
# the Qt-less build share it. It shares no code with the tool's decoders.
apdesk_library(apdesk_sim
  SOURCES BootLoader.cpp FrameReader.cpp SimController.cpp SimHidBackend.cpp SimWire.cpp StatusModel.cpp
  HEADERS SimOptions.h StatusSource.h
  PUBLIC apdesk_core Threads::Threads)

# apsim: plain POSIX, no Qt.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  add_executable(apsim apsim.cpp ApsimTransports.cpp)
  set_target_properties(apsim PROPERTIES AUTOMOC OFF)
  target_link_libraries(apsim PRIVATE apdesk_sim apdesk_replay apdesk_cmdline util)
  apdesk_export_headers(apsim)
endif()
