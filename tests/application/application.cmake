if(APDESK_WITH_QT)
  apdesk_test(apdesk_app_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CConfigAppTest.cpp
    LIBS apdesk_app)
endif()
