# The upgrade exchange and image loading, without Qt: shared by the upgrade
# window, apctl, the tests and the fuzzer.
add_library(apdesk_upgrade_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/UpgradeExchange.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpgradeExchange.h)
apdesk_export_headers(apdesk_upgrade_core)
target_link_libraries(apdesk_upgrade_core PUBLIC apdesk_files)
set_target_properties(apdesk_upgrade_core PROPERTIES AUTOMOC OFF)
target_link_libraries(apdesk_upgrade_core PUBLIC apdesk_bytesum)
