# What the link inspector shows, kept without Qt: counts, rates and the last
# sentence of each tag with its fields. apctl inspect shares it.
apdesk_library(apdesk_linkstats SOURCES LinkStats.cpp SentenceFields.cpp PUBLIC apdesk_protocol)

# The window: data in through calls, no transport.
apdesk_library(apdesk_inspector QT SOURCES CLinkInspectorDlg.h CLinkInspectorDlg.cpp
  PUBLIC apdesk_linkstats apdesk_localisation Qt6::Widgets)
