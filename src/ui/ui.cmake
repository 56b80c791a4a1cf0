# Shared window code: dialog templates and their builder, message boxes.

# Qt-free: the template reader and the port list order.
add_library(apdesk_dialog_template STATIC
  ${CMAKE_CURRENT_LIST_DIR}/DialogTemplate.cpp ${CMAKE_CURRENT_LIST_DIR}/PortList.cpp)
set_target_properties(apdesk_dialog_template PROPERTIES AUTOMOC OFF)
apdesk_export_headers(apdesk_dialog_template)

if(APDESK_WITH_QT)
  add_library(apdesk_dialogs STATIC ${CMAKE_CURRENT_LIST_DIR}/DialogBuilder.cpp ${CMAKE_CURRENT_LIST_DIR}/DialogBuilder.h
    ${CMAKE_CURRENT_LIST_DIR}/WindowChrome.cpp ${CMAKE_CURRENT_LIST_DIR}/WindowChrome.h)
  target_link_libraries(apdesk_dialogs PUBLIC apdesk_dialog_template Qt6::Widgets)
  apdesk_export_headers(apdesk_dialogs)
  # Every template in resources/templates is embedded, whoever adds it.
  file(GLOB apdesk_template_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/templates/*.tsv)
  qt_add_resources(apdesk_dialogs apdesk_templates
    PREFIX /templates
    BASE ${PROJECT_SOURCE_DIR}/resources/templates
    FILES ${apdesk_template_files})

  # The message-box seam: every box goes through it, so tests can answer.
  add_library(apdesk_messageboxes STATIC
    ${CMAKE_CURRENT_LIST_DIR}/MessageBoxes.h ${CMAKE_CURRENT_LIST_DIR}/MessageBoxes.cpp)
  target_link_libraries(apdesk_messageboxes PUBLIC Qt6::Widgets)
  apdesk_export_headers(apdesk_messageboxes)
endif()
