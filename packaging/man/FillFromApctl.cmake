# Replaces each line `.\" (apctl --help-man SECTION)` of a manual page with
# what apctl prints for that section, so the installed page lists the
# commands and connections the program has. cmake -DAPCTL=... -DIN=... -DOUT=... -P
file(READ ${IN} page)
foreach(section commands connect)
  set(marker ".\\\" (apctl --help-man ${section})\n")
  string(FIND "${page}" "${marker}" at)
  if(at EQUAL -1)
    continue()
  endif()
  execute_process(COMMAND ${APCTL} --help-man ${section} OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR text STREQUAL "")
    message(FATAL_ERROR "${APCTL} --help-man ${section} failed (${status})")
  endif()
  string(REPLACE "${marker}" "${text}" page "${page}")
endforeach()
file(WRITE ${OUT} "${page}")
