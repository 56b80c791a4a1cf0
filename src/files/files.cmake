# Reading files the operator or another program can put anywhere: only
# regular files, of a bounded size, never waiting on a pipe or device.
add_library(apdesk_files STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RegularFile.cpp)
apdesk_export_headers(apdesk_files)
set_target_properties(apdesk_files PROPERTIES AUTOMOC OFF)
