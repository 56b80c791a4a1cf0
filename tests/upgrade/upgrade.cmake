if(APDESK_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  apdesk_test(upgrade_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CUpgradeDlgTest.cpp
    LIBS apdesk_upgrade apdesk_core Qt6::Test)
endif()
if(APDESK_WITH_QT)
  apdesk_test(upgrade_over_sim_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/UpgradeOverSimTest.cpp
    LIBS apdesk_upgrade apdesk_core apdesk_sim Qt6::Test)
endif()
if(APDESK_WITH_QT)
  apdesk_test(upgrade_quit_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CUpgradeDlgQuitTest.cpp
    LIBS apdesk_upgrade apdesk_core Qt6::Test)
endif()
