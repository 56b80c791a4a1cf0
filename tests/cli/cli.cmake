apdesk_test(cli_core_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CliCoreTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PortProblemTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/InspectCommandTest.cpp ${CMAKE_CURRENT_LIST_DIR}/DoctorTest.cpp
  LIBS apdesk_clicore util)
set_target_properties(cli_core_test PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  apdesk_test(apctl_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ApctlSimTest.cpp
    LIBS apdesk_cli)
  set_target_properties(apctl_test PROPERTIES AUTOMOC OFF)
  # Over a pseudo-terminal the tests start apsim from the same folder.
  if(TARGET apsim)
    add_dependencies(apctl_test apsim)
  endif()
endif()

if(APDESK_WITH_QT)
  apdesk_test(apctl_follow_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ApctlFollowTest.cpp
    LIBS apdesk_cli apdesk_recordfile)
  set_target_properties(apctl_follow_test PROPERTIES AUTOMOC OFF)
  if(TARGET apsim)
    add_dependencies(apctl_follow_test apsim)
  endif()
endif()

if(APDESK_WITH_QT)
  apdesk_test(apctl_alerts_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ApctlAlertsTest.cpp
    LIBS apdesk_cli)
  set_target_properties(apctl_alerts_test PROPERTIES AUTOMOC OFF)
  if(TARGET apsim)
    add_dependencies(apctl_alerts_test apsim)
  endif()
endif()

if(APDESK_WITH_QT)
  apdesk_test(apctl_map_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ApctlMapTest.cpp
    LIBS apdesk_cli Qt6::Widgets)
endif()
