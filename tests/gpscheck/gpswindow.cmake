if(APDESK_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  apdesk_test(gps_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CGpsCheckDlgTest.cpp
    LIBS apdesk_gpscheck Qt6::Test)
  apdesk_test(gps_window_sim_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/SimCompassTest.cpp
    LIBS apdesk_gpscheck apdesk_protocol apdesk_sim)
endif()
