# The aircraft and transmitter pictures (Qt Gui only).
if(APDESK_WITH_QT)
  add_library(apdesk_pictures STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Pictures.h
    ${CMAKE_CURRENT_LIST_DIR}/Pictures.cpp)
  target_link_libraries(apdesk_pictures PUBLIC Qt6::Gui)
  set_target_properties(apdesk_pictures PROPERTIES AUTOMOC OFF)
  apdesk_export_headers(apdesk_pictures)
endif()
