if(APDESK_WITH_QT)
  apdesk_test(test_hid_link SOURCES HidLinkTest.cpp HidSockLinkTest.cpp FakeHidBackend.cpp SocketPeer.cpp
    LIBS apdesk_link)
  apdesk_test(test_comm_uart SOURCES CommUartTest.cpp LIBS apdesk_link util)
  apdesk_test(test_command_link SOURCES CommandLinkTest.cpp FakeHidBackend.cpp LIBS apdesk_link util)
  apdesk_test(test_hidapi_backend SOURCES HidapiBackendTest.cpp LIBS apdesk_link)
endif()
