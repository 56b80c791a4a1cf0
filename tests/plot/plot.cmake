apdesk_test(plot_quantities_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PlotQuantitiesTest.cpp
  LIBS apdesk_plot_quantities)
set_target_properties(plot_quantities_test PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  apdesk_test(plot_setup_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/PlotSetupTest.cpp
    LIBS apdesk_plot)
endif()
