# The map: Web Mercator, tile covers and the judgement of tile answers in
# plain C++; the tile sources, the one tile store and the map view over Qt.
add_library(apdesk_mapcore STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MapMath.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MapTrack.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TileSource.cpp)
apdesk_export_headers(apdesk_mapcore)
target_link_libraries(apdesk_mapcore PUBLIC apdesk_recordfile)
set_target_properties(apdesk_mapcore PROPERTIES AUTOMOC OFF)

set(APDESK_PROJECT_URL "https://apdesk.org" CACHE STRING "The project's web address, named in the tile requests' User-Agent")
target_compile_definitions(apdesk_mapcore PRIVATE APDESK_VERSION_TEXT="${PROJECT_VERSION}"
  APDESK_PROJECT_URL="${APDESK_PROJECT_URL}")

if(APDESK_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Network Sql)
  add_library(apdesk_maptiles STATIC
    ${CMAKE_CURRENT_LIST_DIR}/TileStore.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MbtilesFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TileService.h
    ${CMAKE_CURRENT_LIST_DIR}/TileService.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MapJobs.h
    ${CMAKE_CURRENT_LIST_DIR}/MapJobs.cpp)
  apdesk_export_headers(apdesk_maptiles)
  target_link_libraries(apdesk_maptiles PUBLIC apdesk_mapcore Qt6::Core Qt6::Network Qt6::Sql)
endif()

if(APDESK_WITH_QT)
  # The map view: tiles and what the windows draw over them.
  add_library(apdesk_mapview STATIC
    ${CMAKE_CURRENT_LIST_DIR}/MapView.h
    ${CMAKE_CURRENT_LIST_DIR}/MapView.cpp)
  apdesk_export_headers(apdesk_mapview)
  target_link_libraries(apdesk_mapview PUBLIC apdesk_maptiles Qt6::Widgets)
endif()

if(APDESK_WITH_QT)
  # Tools > Map: the aircraft over the map, fed from the receive path.
  add_library(apdesk_mapwindow STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CMapDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/CMapDlg.cpp)
  apdesk_export_headers(apdesk_mapwindow)
  target_link_libraries(apdesk_mapwindow PUBLIC apdesk_mapview apdesk_localisation apdesk_protocol apdesk_recordfile)
endif()
