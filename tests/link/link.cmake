if(APDESK_WITH_QT)
  apdesk_test(test_hid_link SOURCES HidLinkTest.cpp FakeHidBackend.cpp LIBS apdesk_link)
endif()
