apdesk_test(apdesk_language_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LanguageFileTest.cpp ${CMAKE_CURRENT_LIST_DIR}/LanguageTextTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/LanguageKeysTest.cpp
  LIBS apdesk_language)
target_compile_definitions(apdesk_language_test PRIVATE APDESK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

if(APDESK_WITH_QT)
  apdesk_test(apdesk_localisation_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CLanguageManagerTest.cpp
    LIBS apdesk_localisation apdesk_app)
endif()
