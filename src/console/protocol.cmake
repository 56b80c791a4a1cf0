# The controller protocol without Qt: receive queue, sentence parser,
# telemetry and installation-error decoding, parameter codec.
add_library(apdesk_protocol STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RxQueue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SentenceParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatusSentence.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParameterCodec.cpp
)
target_include_directories(apdesk_protocol PUBLIC ${PROJECT_SOURCE_DIR}/src)
