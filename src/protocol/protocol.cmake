# The controller protocol without Qt: receive queue, sentence parser,
# telemetry and installation-error decoding, parameter table and codec,
# command frames.
add_library(apdesk_protocol STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RxQueue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SentenceParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NumberText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatusSentence.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParameterTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParameterCodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandFrame.cpp
)
set_target_properties(apdesk_protocol PROPERTIES AUTOMOC OFF)
target_link_libraries(apdesk_protocol PUBLIC apdesk_bytesum)
apdesk_export_headers(apdesk_protocol)
