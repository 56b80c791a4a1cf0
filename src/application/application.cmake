# The application object the windows share: the settings and the one session.
if(APDESK_WITH_QT)
  add_library(apdesk_app STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CConfigApp.h
    ${CMAKE_CURRENT_LIST_DIR}/CConfigApp.cpp)
  apdesk_export_headers(apdesk_app)
  target_link_libraries(apdesk_app PUBLIC apdesk_core apdesk_session apdesk_messageboxes apdesk_localisation Qt6::Widgets)
endif()
