# The dialog base of the calibration and upgrade windows.
apdesk_library(apdesk_keyfilter QT SOURCES CKeyFilterDialog.h CKeyFilterDialog.cpp PUBLIC Qt6::Widgets)
