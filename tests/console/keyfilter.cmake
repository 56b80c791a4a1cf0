if(APDESK_WITH_QT)
  apdesk_test(apdesk_keyfilter_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/KeyFilterDialogTest.cpp
    LIBS apdesk_keyfilter)
endif()
