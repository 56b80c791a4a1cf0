# The controller protocol without Qt: receive queue, sentence parser,
# telemetry and installation-error decoding, parameter table and codec,
# command frames.
apdesk_library(apdesk_protocol
  SOURCES RxQueue.cpp SentenceParser.cpp NumberText.cpp StatusSentence.cpp ParameterTable.cpp ParameterCodec.cpp
    CommandFrame.cpp
  PUBLIC apdesk_bytesum)
