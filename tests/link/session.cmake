if(APDESK_WITH_QT)
  apdesk_test(test_controller_session SOURCES ControllerSessionTest.cpp FakeHidBackend.cpp LIBS apdesk_session util)
endif()
