# Shared window code: dialog templates and their builder, message boxes.

# Qt-free: the template reader and the port list order.
apdesk_library(apdesk_dialog_template SOURCES DialogTemplate.cpp PortList.cpp)

apdesk_library(apdesk_dialogs QT SOURCES DialogBuilder.cpp DialogBuilder.h WindowChrome.cpp WindowChrome.h
  PUBLIC apdesk_dialog_template Qt6::Widgets)
# The message-box seam: every box goes through it, so tests can answer.
apdesk_library(apdesk_messageboxes QT SOURCES MessageBoxes.h MessageBoxes.cpp PUBLIC Qt6::Widgets)

if(APDESK_WITH_QT)
  # Every template in resources/templates is embedded, whoever adds it.
  file(GLOB apdesk_template_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/templates/*.tsv)
  qt_add_resources(apdesk_dialogs apdesk_templates
    PREFIX /templates
    BASE ${PROJECT_SOURCE_DIR}/resources/templates
    FILES ${apdesk_template_files})
endif()
