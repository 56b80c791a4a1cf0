# Alerts from the controller's own limits: rules and their texts, plain C++.
add_library(apdesk_alerts STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AlertRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AlertText.cpp)
apdesk_export_headers(apdesk_alerts)
target_link_libraries(apdesk_alerts PUBLIC apdesk_protocol)
set_target_properties(apdesk_alerts PROPERTIES AUTOMOC OFF)
