apdesk_test(compass_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CompassTest.cpp
  LIBS apdesk_compass)
