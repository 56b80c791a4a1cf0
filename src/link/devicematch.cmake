# Which present USB device is the one that went away; plain C++.
add_library(apdesk_devicematch STATIC DeviceMatch.cpp)
apdesk_export_headers(apdesk_devicematch)
set_target_properties(apdesk_devicematch PROPERTIES AUTOMOC OFF)
target_link_libraries(apdesk_devicematch PUBLIC apdesk_hidbackend)
