# The aircraft and transmitter pictures (Qt Gui only).
apdesk_library(apdesk_pictures QT SOURCES Pictures.h Pictures.cpp PUBLIC Qt6::Gui)
if(TARGET apdesk_pictures)
  set_target_properties(apdesk_pictures PROPERTIES AUTOMOC OFF)
endif()
