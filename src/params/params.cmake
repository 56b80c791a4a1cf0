# Parameter files and the snapshot history: plain C++, no Qt.
add_library(apdesk_params STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ParameterFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SnapshotStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParameterCompare.cpp)
apdesk_export_headers(apdesk_params)
target_link_libraries(apdesk_params PUBLIC apdesk_protocol apdesk_cmdline apdesk_files)
set_target_properties(apdesk_params PROPERTIES AUTOMOC OFF)
