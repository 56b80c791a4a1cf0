apdesk_test(mapcore_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MapMathTest.cpp
  LIBS apdesk_mapcore)
set_target_properties(mapcore_test PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Test Gui)
  apdesk_test(maptiles_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/TileStoreTest.cpp
    LIBS apdesk_maptiles Qt6::Test Qt6::Widgets)
endif()

if(APDESK_WITH_QT)
  apdesk_test(map_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CMapDlgTest.cpp
    LIBS apdesk_mapwindow apdesk_core Qt6::Test)
  target_compile_definitions(map_window_test PRIVATE APDESK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
