# Dialog templates and the builder; the main window and its connection controls.

# Qt-free: the template reader and the port list order.
add_library(apdesk_dialog_template STATIC DialogTemplate.cpp PortList.cpp)
target_include_directories(apdesk_dialog_template PUBLIC ${PROJECT_SOURCE_DIR}/src)
set_target_properties(apdesk_dialog_template PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  add_library(apdesk_dialogs STATIC DialogBuilder.cpp DialogBuilder.h)
  target_link_libraries(apdesk_dialogs PUBLIC apdesk_dialog_template Qt6::Widgets)
  # Every template in resources/templates is embedded, whoever adds it.
  file(GLOB apdesk_template_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/templates/*.tsv)
  qt_add_resources(apdesk_dialogs apdesk_templates
    PREFIX /templates
    BASE ${PROJECT_SOURCE_DIR}/resources/templates
    FILES ${apdesk_template_files})

  # The main window with its connection controls, parameter fields and telemetry.
  add_library(apdesk_console STATIC
    CSetApDlg.h CSetApDlg.cpp ConnectionControls.cpp ParameterControls.cpp TelemetryDisplay.cpp)
  target_link_libraries(apdesk_console PUBLIC apdesk_dialogs apdesk_protocol apdesk_app apdesk_link
    apdesk_localisation apdesk_recorder apdesk_pictures apdesk_calibration apdesk_gpscheck apdesk_upgrade
    Qt6::Widgets Qt6::SerialPort)
endif()
