# What the three programs share on their command lines: the one version of
# the build and the nearest known name for a mistyped one. Plain C++.
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildVersion.h.in
  ${CMAKE_CURRENT_BINARY_DIR}/generated/cmdline/BuildVersion.h @ONLY)
add_library(apdesk_cmdline STATIC ${CMAKE_CURRENT_LIST_DIR}/NearName.cpp)
apdesk_export_headers(apdesk_cmdline)
target_include_directories(apdesk_cmdline PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/generated)
set_target_properties(apdesk_cmdline PROPERTIES AUTOMOC OFF)
