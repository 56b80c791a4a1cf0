# The map: Web Mercator, tile covers and the judgement of tile answers in
# plain C++; the tile sources, the one tile store and the map view over Qt.
add_library(apdesk_mapcore STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MapMath.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MapTrack.cpp)
apdesk_export_headers(apdesk_mapcore)
target_link_libraries(apdesk_mapcore PUBLIC apdesk_recordfile)
set_target_properties(apdesk_mapcore PROPERTIES AUTOMOC OFF)
