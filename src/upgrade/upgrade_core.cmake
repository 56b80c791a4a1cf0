# The upgrade exchange and image loading, without Qt: shared by the upgrade
# window, apctl, the tests and the fuzzer.
apdesk_library(apdesk_upgrade_core SOURCES UpgradeExchange.cpp UpgradeExchange.h PUBLIC apdesk_files apdesk_bytesum)
