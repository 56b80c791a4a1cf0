# One connection to the controller: transports, command link, receive path, follower.
apdesk_library(apdesk_session QT SOURCES ControllerSession.cpp PUBLIC apdesk_follow)
