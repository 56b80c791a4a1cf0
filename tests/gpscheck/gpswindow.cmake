if(APDESK_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  apdesk_test(gps_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CGpsCheckDlgTest.cpp
    LIBS apdesk_gpscheck apdesk_core Qt6::Test)
  apdesk_test(gps_window_sim_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/SimCompassTest.cpp
    LIBS apdesk_gpscheck apdesk_core apdesk_protocol apdesk_sim)
endif()
if(APDESK_WITH_QT)
  # The window's texts are checked against the language files as shipped.
  target_compile_definitions(gps_window_test PRIVATE APDESK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
