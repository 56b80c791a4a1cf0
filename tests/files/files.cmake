if(WIN32)
  # WholeFileTest.cpp writes through symbolic links, named pipes and /dev
  # devices and checks permission bits: Linux only.
  apdesk_test(files_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/FilesEverywhereTest.cpp LIBS apdesk_files)
else()
  apdesk_test(files_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/WholeFileTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FilesEverywhereTest.cpp
    LIBS apdesk_files)
endif()
