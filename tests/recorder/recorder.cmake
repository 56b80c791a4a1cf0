apdesk_test(recorder_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SaveDataTest.cpp
  LIBS apdesk_recorder)
set_target_properties(recorder_test PROPERTIES AUTOMOC OFF)

apdesk_test(recordfile_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RecordFileTest.cpp
  LIBS apdesk_recordfile)
set_target_properties(recordfile_test PROPERTIES AUTOMOC OFF)

apdesk_test(replay_pacer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReplayPacerTest.cpp
  LIBS apdesk_replay)
set_target_properties(replay_pacer_test PROPERTIES AUTOMOC OFF)
