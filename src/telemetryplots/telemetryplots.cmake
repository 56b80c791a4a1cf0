# The live telemetry plots: the history of the plotted values (plain C++) and
# the window that draws it with the shared plot set-up.
apdesk_library(apdesk_telemetryhistory SOURCES TelemetryHistory.cpp PUBLIC apdesk_plot_quantities apdesk_protocol)
apdesk_library(apdesk_telemetryplots QT SOURCES CTelemetryPlotsDlg.h CTelemetryPlotsDlg.cpp
  PUBLIC apdesk_telemetryhistory apdesk_plot apdesk_localisation Qt6::Widgets)
