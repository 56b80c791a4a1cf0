if(APDESK_WITH_QT)
  apdesk_test(main_window_test SOURCES MainWindowTest.cpp LIBS apdesk_console apdesk_sim)
  if(TARGET apsim)
    add_dependencies(main_window_test apsim)  # the serial peer of one test
  endif()
  apdesk_test(program_options_test SOURCES ProgramOptionsTest.cpp LIBS Qt6::Core)
  add_dependencies(program_options_test apdesk apctl apsim)
  target_compile_definitions(program_options_test PRIVATE APDESK_VERSION="${PROJECT_VERSION}")
  apdesk_test(backend_choice_test SOURCES HidBackendChoiceTest.cpp LIBS apdesk_backendchoice)
endif()

apdesk_test(connection_text_test SOURCES ConnectionTextTest.cpp LIBS apdesk_connectiontext)
if(APDESK_WITH_QT)
  apdesk_test(connection_status_test SOURCES ConnectionStatusTest.cpp LIBS apdesk_console apdesk_sim)
  if(TARGET apsim)
    add_dependencies(connection_status_test apsim)  # the controller that goes and returns
  endif()
endif()

if(APDESK_WITH_QT)
  apdesk_test(alerts_window_test SOURCES AlertsWindowTest.cpp LIBS apdesk_console apdesk_sim)
endif()
