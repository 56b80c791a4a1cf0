# The map: Web Mercator, tile covers and the judgement of tile answers in
# plain C++; the tile sources, the one tile store and the map view over Qt.
apdesk_library(apdesk_mapcore SOURCES MapMath.cpp MapTrack.cpp TileSource.cpp PUBLIC apdesk_recordfile)
set(APDESK_PROJECT_URL "https://apdesk.org" CACHE STRING "The project's web address, named in the tile requests' User-Agent")
target_compile_definitions(apdesk_mapcore PRIVATE APDESK_VERSION_TEXT="${PROJECT_VERSION}"
  APDESK_PROJECT_URL="${APDESK_PROJECT_URL}")

apdesk_library(apdesk_maptiles QT COMPONENTS Network Sql
  SOURCES TileStore.cpp MbtilesFile.cpp TileService.h TileService.cpp MapJobs.h MapJobs.cpp
  PUBLIC apdesk_mapcore Qt6::Core Qt6::Network Qt6::Sql)
# The map view: tiles and what the windows draw over them.
apdesk_library(apdesk_mapview QT SOURCES MapView.h MapView.cpp PUBLIC apdesk_maptiles Qt6::Widgets)
# Tools > Map: the aircraft over the map, fed from the receive path.
apdesk_library(apdesk_mapwindow QT SOURCES CMapDlg.h CMapDlg.cpp
  PUBLIC apdesk_mapview apdesk_localisation apdesk_protocol apdesk_recordfile)
