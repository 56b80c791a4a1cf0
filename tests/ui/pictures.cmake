if(APDESK_WITH_QT)
  apdesk_test(pictures_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/PicturesTest.cpp
    LIBS apdesk_pictures)
endif()
