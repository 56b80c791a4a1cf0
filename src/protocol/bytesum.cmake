# The one 8-bit byte sum of every checked sentence, record and report: plain
# C++, vectorised where the target has it (chosen when compiling).
add_library(apdesk_bytesum STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ByteSum.cpp)
set_target_properties(apdesk_bytesum PROPERTIES AUTOMOC OFF)
apdesk_export_headers(apdesk_bytesum)
