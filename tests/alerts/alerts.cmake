# Tests of the alert rules and their texts (no Qt).
apdesk_test(alerts_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AlertRulesTest.cpp
  LIBS apdesk_alerts)
set_target_properties(alerts_tests PROPERTIES AUTOMOC OFF)
