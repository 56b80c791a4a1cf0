# The dialog base of the calibration and upgrade windows.
if(APDESK_WITH_QT)
  add_library(apdesk_keyfilter STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CKeyFilterDialog.h
    ${CMAKE_CURRENT_LIST_DIR}/CKeyFilterDialog.cpp)
  target_link_libraries(apdesk_keyfilter PUBLIC Qt6::Widgets)
  apdesk_export_headers(apdesk_keyfilter)
endif()
