apdesk_test(link_stats_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LinkStatsTest.cpp
  LIBS apdesk_linkstats)
set_target_properties(link_stats_test PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  apdesk_test(link_inspector_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CLinkInspectorDlgTest.cpp
    LIBS apdesk_inspector apdesk_core)
  target_compile_definitions(link_inspector_window_test PRIVATE APDESK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
