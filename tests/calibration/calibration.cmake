if(APDESK_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  apdesk_test(stick_gauge_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CStickGaugeTest.cpp
    LIBS apdesk_calibration apdesk_core)
  apdesk_test(calibration_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CAdjustTransmitterDlgTest.cpp
    LIBS apdesk_calibration apdesk_core Qt6::Test)
endif()
