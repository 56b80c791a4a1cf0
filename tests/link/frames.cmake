
apdesk_test(test_hidsock_backend SOURCES HidSockBackendTest.cpp SocketPeer.cpp LIBS apdesk_hidsock)
