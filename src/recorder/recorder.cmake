# The flight recorder and the tools that read its files: plain C++, no Qt.
apdesk_library(apdesk_recorder SOURCES SaveData.cpp RecorderNotices.cpp PUBLIC Threads::Threads apdesk_bytesum apdesk_files)

# Reading record files and exporting them; decodes through the protocol library.
# RecordFile.h gathers the three parts' headers for callers that want them all.
apdesk_library(apdesk_recordfile SOURCES RecordRead.cpp RecordSummary.cpp RecordExport.cpp TrackDistance.cpp
  HEADERS RecordFile.h PUBLIC apdesk_recorder apdesk_protocol apdesk_files)

# Replay pacing: a record file's records at their original pace.
apdesk_library(apdesk_replay SOURCES ReplayPacer.cpp PUBLIC apdesk_recordfile)
