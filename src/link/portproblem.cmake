# Why a serial port cannot be opened, in the operator's words (who holds it,
# which group may use it). Plain C++ over Linux's /proc and /dev; shared by
# the windows and apctl.
add_library(apdesk_portproblem STATIC PortProblem.cpp)
apdesk_export_headers(apdesk_portproblem)
set_target_properties(apdesk_portproblem PROPERTIES AUTOMOC OFF)
