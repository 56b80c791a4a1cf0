apdesk_test(dialog_template_test SOURCES DialogTemplateTest.cpp LIBS apdesk_dialog_template)
if(APDESK_WITH_QT)
  apdesk_test(dialog_builder_test SOURCES DialogBuilderTest.cpp LIBS apdesk_dialogs)
  apdesk_test(main_window_test SOURCES MainWindowTest.cpp LIBS apdesk_console apdesk_sim)
  if(TARGET apsim)
    add_dependencies(main_window_test apsim)  # the serial peer of one test
  endif()
  apdesk_test(backend_choice_test SOURCES HidBackendChoiceTest.cpp LIBS apdesk_backendchoice)
endif()
