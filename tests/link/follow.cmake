if(APDESK_WITH_QT)
  apdesk_test(test_link_follower SOURCES LinkFollowerTest.cpp FakeHidBackend.cpp LIBS apdesk_follow util)
endif()
