# Why a serial port cannot be opened, in the operator's words (who holds it,
# which group may use it). Plain C++ over Linux's /proc and /dev; shared by
# the windows and apctl.
apdesk_library(apdesk_portproblem SOURCES PortProblem.cpp)
