# The stick gauge's geometry: plain C++, no Qt.
add_library(apdesk_stickgeometry STATIC ${CMAKE_CURRENT_LIST_DIR}/StickGaugeGeometry.cpp)
target_include_directories(apdesk_stickgeometry PUBLIC ${PROJECT_SOURCE_DIR}/src)
