# The language-file reader (plain C++) and the windows' text service (Qt Widgets).
add_library(apdesk_language STATIC
  ${CMAKE_CURRENT_LIST_DIR}/LanguageFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LanguageText.cpp)
apdesk_export_headers(apdesk_language)
target_link_libraries(apdesk_language PUBLIC apdesk_files)
set_target_properties(apdesk_language PROPERTIES AUTOMOC OFF)

if(APDESK_WITH_QT)
  add_library(apdesk_localisation STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CLanguageManager.h
    ${CMAKE_CURRENT_LIST_DIR}/CLanguageManager.cpp)
  apdesk_export_headers(apdesk_localisation)
  target_link_libraries(apdesk_localisation PUBLIC apdesk_language apdesk_dialogs Qt6::Widgets)
endif()
