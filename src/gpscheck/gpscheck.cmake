# The compass judgement, the GPS texts of a "$STP" sentence and the dial's
# geometry: plain C++, no Qt.
add_library(apdesk_compass STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CompassJudgement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GpsRecordText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CompassDialGeometry.cpp)
target_include_directories(apdesk_compass PUBLIC ${PROJECT_SOURCE_DIR}/src)
