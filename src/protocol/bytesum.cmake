# The one 8-bit byte sum of every checked sentence, record and report: plain
# C++, vectorised where the target has it (chosen when compiling).
apdesk_library(apdesk_bytesum SOURCES ByteSum.cpp)
