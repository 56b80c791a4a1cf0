# The quantities a flight is plotted by (plain C++, no Qt): shared by every
# window that plots telemetry, so they all name and colour a value alike.
add_library(apdesk_plot_quantities STATIC
  ${CMAKE_CURRENT_LIST_DIR}/PlotQuantities.cpp)
apdesk_export_headers(apdesk_plot_quantities)
target_link_libraries(apdesk_plot_quantities PUBLIC apdesk_protocol)
set_target_properties(apdesk_plot_quantities PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  # QCustomPlot from Debian's libqcustomplot-dev: its Qt 6 build ships a CMake
  # package (QCustomPlotQt6) whose target wants Qt's print support.
  find_package(Qt6 REQUIRED COMPONENTS PrintSupport)
  find_package(QCustomPlotQt6 REQUIRED CONFIG)

  # Plot set-up over QCustomPlot: the time axis and one graph per quantity.
  add_library(apdesk_plot STATIC
    ${CMAKE_CURRENT_LIST_DIR}/PlotSetup.h
    ${CMAKE_CURRENT_LIST_DIR}/PlotSetup.cpp)
  apdesk_export_headers(apdesk_plot)
  target_link_libraries(apdesk_plot PUBLIC apdesk_plot_quantities QCustomPlotQt6::QCustomPlotQt6 Qt6::Widgets)
endif()
