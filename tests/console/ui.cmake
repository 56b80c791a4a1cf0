apdesk_test(dialog_template_test SOURCES DialogTemplateTest.cpp LIBS apdesk_dialog_template)
if(APDESK_WITH_QT)
  apdesk_test(dialog_builder_test SOURCES DialogBuilderTest.cpp LIBS apdesk_dialogs)
endif()
