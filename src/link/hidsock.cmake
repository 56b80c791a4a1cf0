# Qt-free: the socket back end (a HID device played over a Unix socket),
# shared by the tool, the simulator, the command-line program and the tests.
add_library(apdesk_hidsock STATIC HidSockBackend.cpp)
apdesk_export_headers(apdesk_hidsock)
target_link_libraries(apdesk_hidsock PUBLIC apdesk_core)
set_target_properties(apdesk_hidsock PROPERTIES AUTOMOC OFF)
