# Reading files the operator or another program can put anywhere: only
# regular files, of a bounded size, never waiting on a pipe or device; and
# the one writer of whole files.
if(WIN32)
  set(files_platform FileSystemWindows.cpp)
else()
  set(files_platform FileSystemPosix.cpp)
endif()
apdesk_library(apdesk_files SOURCES RegularFile.cpp WholeFile.cpp ${files_platform})
