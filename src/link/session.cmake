if(APDESK_WITH_QT)
  # One connection to the controller: transports, command link, receive path, follower.
  add_library(apdesk_session STATIC ControllerSession.h ControllerSession.cpp)
  apdesk_export_headers(apdesk_session)
  target_link_libraries(apdesk_session PUBLIC apdesk_follow)
endif()
