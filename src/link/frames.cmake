# Qt-free: the command frames and the socket back end, shared by the tool,
# the simulator, the command-line program and the fuzzers.
add_library(apdesk_frames STATIC CommandFrame.cpp HidSockBackend.cpp)
target_include_directories(apdesk_frames PUBLIC ${PROJECT_SOURCE_DIR}/src)
set_target_properties(apdesk_frames PROPERTIES AUTOMOC OFF)
