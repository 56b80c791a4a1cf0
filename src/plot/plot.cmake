# The quantities a flight is plotted by (plain C++, no Qt): shared by every
# window that plots telemetry, so they all name and colour a value alike.
apdesk_library(apdesk_plot_quantities SOURCES PlotQuantities.cpp PUBLIC apdesk_protocol)

# Plot set-up over QCustomPlot (Debian's libqcustomplot-dev: its Qt 6 build
# ships a CMake package, QCustomPlotQt6, whose target wants print support):
# the time axis and one graph per quantity.
if(APDESK_WITH_QT)
  find_package(QCustomPlotQt6 REQUIRED CONFIG)
endif()
apdesk_library(apdesk_plot QT COMPONENTS PrintSupport SOURCES PlotSetup.h PlotSetup.cpp
  PUBLIC apdesk_plot_quantities QCustomPlotQt6::QCustomPlotQt6 Qt6::Widgets)
