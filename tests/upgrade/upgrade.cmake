if(APDESK_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  apdesk_test(upgrade_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CUpgradeDlgTest.cpp
    LIBS apdesk_upgrade Qt6::Test)
endif()
