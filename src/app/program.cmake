# The composition root: the factory of the USB back end a --connect target
# names (hidapi, the simulated controller, a socket peer), apdesk's choice
# of it, and the apdesk program.
if(APDESK_WITH_QT)
  add_library(apdesk_connect STATIC ${CMAKE_CURRENT_LIST_DIR}/HidBackendFactory.cpp)
  apdesk_export_headers(apdesk_connect)
  set_target_properties(apdesk_connect PROPERTIES AUTOMOC OFF)
  target_link_libraries(apdesk_connect PUBLIC apdesk_core apdesk_hidapi apdesk_hidsock apdesk_sim)

  add_library(apdesk_backendchoice STATIC ${CMAKE_CURRENT_LIST_DIR}/HidBackendChoice.cpp)
  apdesk_export_headers(apdesk_backendchoice)
  set_target_properties(apdesk_backendchoice PROPERTIES AUTOMOC OFF)
  target_link_libraries(apdesk_backendchoice PUBLIC apdesk_connect)

  add_executable(apdesk ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
  target_link_libraries(apdesk PRIVATE apdesk_console apdesk_backendchoice apdesk_telemetryplots apdesk_inspector
    apdesk_cmdline
    Qt6::Widgets)
  apdesk_export_headers(apdesk)
endif()
