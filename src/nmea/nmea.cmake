# The aircraft's position as NMEA 0183 for other programs. The sentences
# and the listening address are plain C++; the server runs on Qt Network.
apdesk_library(apdesk_nmea SOURCES NmeaSentences.cpp ListenAddress.cpp PUBLIC apdesk_protocol)
apdesk_library(apdesk_nmeaserver QT COMPONENTS Network SOURCES NmeaServer.h NmeaServer.cpp
  PUBLIC apdesk_nmea Qt6::Network)
if(TARGET apdesk_nmeaserver)
  target_compile_definitions(apdesk_nmeaserver PRIVATE QT_NO_KEYWORDS)
endif()

# NMEA on a pseudo-terminal (Linux).
apdesk_library(apdesk_nmeapty SOURCES PtyOutputLinux.cpp PRIVATE util)

# Tools > Share position (NMEA).
apdesk_library(apdesk_nmeawindow QT SOURCES CNmeaShareDlg.h CNmeaShareDlg.cpp PUBLIC apdesk_nmeaserver Qt6::Widgets)
