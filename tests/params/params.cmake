# The parameter table's texts, the parameter history and the comparison (no Qt).
apdesk_test(params_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ParameterHistoryTest.cpp
  LIBS apdesk_params)
set_target_properties(params_tests PROPERTIES AUTOMOC OFF)
