apdesk_test(upgrade_exchange_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/UpgradeExchangeTest.cpp
  LIBS apdesk_upgrade_core)
