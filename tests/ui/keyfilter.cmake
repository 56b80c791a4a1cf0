if(APDESK_WITH_QT)
  # QTest delivers keys as the platform does: shortcuts first, then key events.
  find_package(Qt6 REQUIRED COMPONENTS Test)
  apdesk_test(apdesk_keyfilter_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/KeyFilterDialogTest.cpp
    LIBS apdesk_keyfilter Qt6::Test)
endif()
