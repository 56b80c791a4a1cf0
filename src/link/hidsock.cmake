# Qt-free: the socket back end (a HID device played over a Unix socket),
# shared by the tool, the simulator, the command-line program and the tests.
add_library(apdesk_hidsock STATIC HidSockBackend.cpp)
apdesk_export_headers(apdesk_hidsock)
target_link_libraries(apdesk_hidsock PUBLIC apdesk_hidbackend)
set_target_properties(apdesk_hidsock PROPERTIES AUTOMOC OFF)
# The back-end interface every HID device implementation shares.
add_library(apdesk_hidbackend INTERFACE)
target_sources(apdesk_hidbackend INTERFACE ${CMAKE_CURRENT_LIST_DIR}/HidBackend.h)
apdesk_export_headers(apdesk_hidbackend HEADERS ${CMAKE_CURRENT_LIST_DIR}/HidBackend.h)
# The one --connect grammar (plain C++: apctl's argument parser uses it).
add_library(apdesk_connect_target STATIC ConnectTarget.cpp)
apdesk_export_headers(apdesk_connect_target)
target_link_libraries(apdesk_connect_target PUBLIC apdesk_hidsock)
set_target_properties(apdesk_connect_target PROPERTIES AUTOMOC OFF)
