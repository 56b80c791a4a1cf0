apdesk_test(stick_gauge_geometry_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/StickGaugeGeometryTest.cpp
  LIBS apdesk_stickgeometry)
