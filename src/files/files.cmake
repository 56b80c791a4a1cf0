# Reading files the operator or another program can put anywhere: only
# regular files, of a bounded size, never waiting on a pipe or device; and
# the one writer of whole files.
if(WIN32)
  set(files_platform ${CMAKE_CURRENT_LIST_DIR}/FileSystemWindows.cpp)
else()
  set(files_platform ${CMAKE_CURRENT_LIST_DIR}/FileSystemPosix.cpp)
endif()
add_library(apdesk_files STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RegularFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WholeFile.cpp
  ${files_platform})
apdesk_export_headers(apdesk_files)
set_target_properties(apdesk_files PROPERTIES AUTOMOC OFF)
