# Reading only regular files of a bounded size (no Qt).
apdesk_test(files_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RegularFileTest.cpp
  LIBS apdesk_files)
set_target_properties(files_tests PROPERTIES AUTOMOC OFF)
