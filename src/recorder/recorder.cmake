# The flight recorder and the tools that read its files: plain C++, no Qt.
add_library(apdesk_recorder STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SaveData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecorderNotices.cpp)
apdesk_export_headers(apdesk_recorder)
target_link_libraries(apdesk_recorder PUBLIC Threads::Threads apdesk_bytesum apdesk_files)
set_target_properties(apdesk_recorder PROPERTIES AUTOMOC OFF)

# Reading record files and exporting them; decodes through the protocol library.
add_library(apdesk_recordfile STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RecordRead.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordSummary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TrackDistance.cpp)
apdesk_export_headers(apdesk_recordfile)
target_link_libraries(apdesk_recordfile PUBLIC apdesk_recorder apdesk_protocol apdesk_files)
set_target_properties(apdesk_recordfile PROPERTIES AUTOMOC OFF)

# Replay pacing: a record file's records at their original pace.
add_library(apdesk_replay STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ReplayPacer.cpp)
apdesk_export_headers(apdesk_replay)
target_link_libraries(apdesk_replay PUBLIC apdesk_recordfile)
set_target_properties(apdesk_replay PROPERTIES AUTOMOC OFF)
