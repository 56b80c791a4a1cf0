# Tests of the controller protocol library (no Qt).
set(number_text_test ${CMAKE_CURRENT_LIST_DIR}/NumberTextTest.cpp)
if(WIN32)
  # It compares with the C library's printf: Windows' writes "nan" where
  # glibc's, which the texts follow, writes "-nan". Linux only.
  set(number_text_test)
endif()
apdesk_test(protocol_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ByteSumTest.cpp
    ${number_text_test}
    ${CMAKE_CURRENT_LIST_DIR}/SentenceParserTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StatusSentenceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ParameterCodecTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CommandFrameTest.cpp
  LIBS apdesk_protocol)
