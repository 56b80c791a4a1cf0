# Qt-free: the socket back end (a HID device played over a Unix socket),
# shared by the tool, the simulator, the command-line program and the tests.
apdesk_library(apdesk_hidsock SOURCES HidSockBackend.cpp PUBLIC apdesk_core)
