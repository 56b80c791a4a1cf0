if(APDESK_WITH_QT)
  # Follows the controller across unplugging and replugging. Qt Core only.
  add_library(apdesk_follow STATIC LinkFollower.h LinkFollower.cpp)
  apdesk_export_headers(apdesk_follow)
  target_link_libraries(apdesk_follow PUBLIC apdesk_link)
endif()
