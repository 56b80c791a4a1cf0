apdesk_test(sim_controller_test SOURCES SimControllerTest.cpp LIBS apdesk_sim)
apdesk_test(sim_bootloader_test SOURCES BootLoaderTest.cpp LIBS apdesk_sim)
