# apctl. The argument, parameter-name and telemetry-text parts are plain C++;
# the program runs on Qt Core over the same link as the windows.
add_library(apdesk_clicore STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CliArgs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandHelp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TelemetryText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InspectCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Doctor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MonitorAlerts.cpp)
apdesk_export_headers(apdesk_clicore HEADERS ${CMAKE_CURRENT_LIST_DIR}/ExitStatus.h
  ${CMAKE_CURRENT_LIST_DIR}/ParamNames.h ${CMAKE_CURRENT_LIST_DIR}/FdOutput.h)
target_link_libraries(apdesk_clicore PUBLIC apdesk_protocol apdesk_params apdesk_recordfile apdesk_core
  apdesk_linkstats apdesk_cmdline apdesk_alerts apdesk_portproblem)
set_target_properties(apdesk_clicore PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  add_library(apdesk_cli STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CliLink.h
    ${CMAKE_CURRENT_LIST_DIR}/CliLink.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ShareNmea.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Apctl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CommandContext.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LinkCommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ParamsCommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControllerCommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ToolCommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MapCommand.cpp)
  apdesk_export_headers(apdesk_cli HEADERS ${CMAKE_CURRENT_LIST_DIR}/ExitStatus.h ${CMAKE_CURRENT_LIST_DIR}/Apctl.h)
  target_link_libraries(apdesk_cli PUBLIC apdesk_clicore apdesk_session apdesk_connect apdesk_sim
    apdesk_upgrade_core apdesk_compass apdesk_recordfile apdesk_recorder apdesk_core apdesk_language
    Qt6::Core Qt6::SerialPort)
  target_link_libraries(apdesk_cli PUBLIC apdesk_nmeaserver apdesk_nmeapty)
  target_link_libraries(apdesk_cli PUBLIC apdesk_maptiles)
  # The udev rule, built in for apctl doctor --udev-rule.
  file(READ ${PROJECT_SOURCE_DIR}/udev/70-apdesk.rules APDESK_UDEV_RULE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/udev/70-apdesk.rules)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/UdevRule.h.in ${CMAKE_CURRENT_BINARY_DIR}/generated/cli/UdevRule.h @ONLY)
  target_include_directories(apdesk_cli PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
  # The simulator's headers use "emit" as a name, which Qt's keyword macro would eat.
  target_compile_definitions(apdesk_cli PUBLIC QT_NO_KEYWORDS)

  add_executable(apctl ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
  target_link_libraries(apctl PRIVATE apdesk_cli)
  apdesk_export_headers(apctl)
  set_target_properties(apctl PROPERTIES AUTOMOC OFF)
endif()
