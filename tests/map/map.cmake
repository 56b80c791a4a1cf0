apdesk_test(mapcore_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MapMathTest.cpp
  LIBS apdesk_mapcore)
set_target_properties(mapcore_test PROPERTIES AUTOMOC OFF)
