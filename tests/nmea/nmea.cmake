apdesk_test(nmea_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NmeaSentencesTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PtyOutputTest.cpp
  LIBS apdesk_nmea apdesk_nmeapty)
set_target_properties(nmea_tests PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  apdesk_test(nmea_server_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/NmeaServerTest.cpp
    LIBS apdesk_nmeaserver)
  set_target_properties(nmea_server_test PROPERTIES AUTOMOC OFF)
endif()

if(APDESK_WITH_QT)
  apdesk_test(gpsd_share_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/GpsdShareTest.cpp
    LIBS apdesk_cli apdesk_sim)
  set_target_properties(gpsd_share_test PROPERTIES AUTOMOC OFF)
endif()
