# Follows the controller across unplugging and replugging. Qt Core only.
apdesk_library(apdesk_follow QT SOURCES LinkFollower.cpp PUBLIC apdesk_link)
