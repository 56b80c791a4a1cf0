apdesk_test(upgrade_exchange_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/UpgradeExchangeTest.cpp
  LIBS apdesk_upgrade_core)
# A short fault campaign (the long one is bench/upgrade's program).
apdesk_test(upgrade_fault_campaign_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/UpgradeFaultCampaignTest.cpp ${PROJECT_SOURCE_DIR}/bench/upgrade/FaultCampaign.cpp
  LIBS apdesk_upgrade_core apdesk_sim)
target_include_directories(upgrade_fault_campaign_test PRIVATE ${PROJECT_SOURCE_DIR}/bench/upgrade)
