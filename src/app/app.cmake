# The application object and the message-box seam: Qt Widgets.
if(APDESK_WITH_QT)
  add_library(apdesk_app STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CConfigApp.h
    ${CMAKE_CURRENT_LIST_DIR}/CConfigApp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageBoxes.h
    ${CMAKE_CURRENT_LIST_DIR}/MessageBoxes.cpp)
  target_include_directories(apdesk_app PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(apdesk_app PUBLIC apdesk_settings apdesk_link Qt6::Widgets)
endif()
