# What the link inspector shows, kept without Qt: counts, rates and the last
# sentence of each tag with its fields. apctl inspect shares it.
add_library(apdesk_linkstats STATIC
  ${CMAKE_CURRENT_LIST_DIR}/LinkStats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SentenceFields.cpp)
apdesk_export_headers(apdesk_linkstats)
target_link_libraries(apdesk_linkstats PUBLIC apdesk_protocol)
set_target_properties(apdesk_linkstats PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  # The window: data in through calls, no transport.
  add_library(apdesk_inspector STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CLinkInspectorDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/CLinkInspectorDlg.cpp)
  apdesk_export_headers(apdesk_inspector)
  target_link_libraries(apdesk_inspector PUBLIC apdesk_linkstats apdesk_localisation Qt6::Widgets)
endif()
