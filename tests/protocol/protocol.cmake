# Tests of the controller protocol library (no Qt).
apdesk_test(protocol_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ByteSumTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NumberTextTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SentenceParserTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StatusSentenceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ParameterCodecTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CommandFrameTest.cpp
  LIBS apdesk_protocol)
