# apctl. The argument, parameter-name and telemetry-text parts are plain C++;
# the program runs on Qt Core over the same link as the windows.
apdesk_library(apdesk_clicore
  SOURCES CliArgs.cpp CommandHelp.cpp TelemetryText.cpp InspectCommand.cpp Doctor.cpp MonitorAlerts.cpp
  HEADERS ExitStatus.h ParamNames.h FdOutput.h
  PUBLIC apdesk_protocol apdesk_params apdesk_recordfile apdesk_core apdesk_linkstats apdesk_cmdline apdesk_alerts
    apdesk_portproblem)

apdesk_library(apdesk_cli QT
  SOURCES CliLink.cpp ShareNmea.cpp Apctl.cpp CommandContext.cpp LinkCommands.cpp ParamsCommands.cpp
    ControllerCommands.cpp ToolCommands.cpp MapCommand.cpp
  HEADERS ExitStatus.h Apctl.h
  PUBLIC apdesk_clicore apdesk_session apdesk_connect apdesk_sim apdesk_upgrade_core apdesk_compass
    apdesk_recordfile apdesk_recorder apdesk_core apdesk_language apdesk_nmeaserver apdesk_nmeapty apdesk_maptiles
    Qt6::Core Qt6::SerialPort)

if(APDESK_WITH_QT)
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
