# The dialog base of the calibration and upgrade windows.
if(APDESK_WITH_QT)
  add_library(apdesk_keyfilter STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CKeyFilterDialog.h
    ${CMAKE_CURRENT_LIST_DIR}/CKeyFilterDialog.cpp)
  target_include_directories(apdesk_keyfilter PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(apdesk_keyfilter PUBLIC Qt6::Widgets)
endif()
