# The aircraft's position as NMEA 0183 for other programs. The sentences
# and the listening address are plain C++; the server runs on Qt Network.
add_library(apdesk_nmea STATIC
  ${CMAKE_CURRENT_LIST_DIR}/NmeaSentences.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ListenAddress.cpp)
apdesk_export_headers(apdesk_nmea)
target_link_libraries(apdesk_nmea PUBLIC apdesk_protocol)
set_target_properties(apdesk_nmea PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Network)
  add_library(apdesk_nmeaserver STATIC
    ${CMAKE_CURRENT_LIST_DIR}/NmeaServer.h
    ${CMAKE_CURRENT_LIST_DIR}/NmeaServer.cpp)
  apdesk_export_headers(apdesk_nmeaserver)
  target_link_libraries(apdesk_nmeaserver PUBLIC apdesk_nmea Qt6::Network)
  target_compile_definitions(apdesk_nmeaserver PRIVATE QT_NO_KEYWORDS)
endif()

# NMEA on a pseudo-terminal (Linux).
add_library(apdesk_nmeapty STATIC ${CMAKE_CURRENT_LIST_DIR}/PtyOutputLinux.cpp)
apdesk_export_headers(apdesk_nmeapty)
target_link_libraries(apdesk_nmeapty PRIVATE util)
set_target_properties(apdesk_nmeapty PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  # Tools > Share position (NMEA).
  add_library(apdesk_nmeawindow STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CNmeaShareDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/CNmeaShareDlg.cpp)
  apdesk_export_headers(apdesk_nmeawindow)
  target_link_libraries(apdesk_nmeawindow PUBLIC apdesk_nmeaserver Qt6::Widgets)
endif()
