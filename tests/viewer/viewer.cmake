apdesk_test(flightdata_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FlightDataTest.cpp
  LIBS apdesk_flightdata)
set_target_properties(flightdata_test PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  apdesk_test(flight_records_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CFlightRecordsDlgTest.cpp
    LIBS apdesk_viewer apdesk_core apdesk_link Qt6::Test)
endif()

if(APDESK_WITH_QT)
  apdesk_test(flight_track_map_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/FlightTrackMapTest.cpp
    LIBS apdesk_viewer apdesk_core apdesk_maptiles Qt6::Test)
endif()
