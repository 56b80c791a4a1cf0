# What the three programs share on their command lines: the one version of
# the build and the nearest known name for a mistyped one. Plain C++.
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildVersion.h.in
  ${CMAKE_CURRENT_BINARY_DIR}/generated/cmdline/BuildVersion.h @ONLY)
apdesk_library(apdesk_cmdline SOURCES NearName.cpp)
target_include_directories(apdesk_cmdline PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/generated)
