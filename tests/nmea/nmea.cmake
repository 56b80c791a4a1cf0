apdesk_test(nmea_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NmeaSentencesTest.cpp
  LIBS apdesk_nmea)
set_target_properties(nmea_tests PROPERTIES AUTOMOC OFF)
