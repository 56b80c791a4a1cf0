apdesk_test(sim_controller_test SOURCES SimControllerTest.cpp LIBS apdesk_sim)
apdesk_test(sim_bootloader_test SOURCES BootLoaderTest.cpp LIBS apdesk_sim)
if(TARGET apsim)
  apdesk_test(apsim_test SOURCES ApsimTest.cpp LIBS apdesk_protocol apdesk_hidsock)
  target_compile_definitions(apsim_test PRIVATE APSIM_PATH="$<TARGET_FILE:apsim>")
  add_dependencies(apsim_test apsim)
endif()
apdesk_test(sim_hid_backend_test SOURCES SimHidBackendTest.cpp LIBS apdesk_sim)

# A real kernel HID device: runs in tools/hidvm, skipped (77) where neither
# /dev/uhid nor the VM is available.
if(TARGET apsim AND TARGET apdesk_hidapi)
  add_executable(hid_uhid_test HidUhidTest.cpp)
  target_include_directories(hid_uhid_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(hid_uhid_test PRIVATE APSIM_PATH="$<TARGET_FILE:apsim>")
  set_target_properties(hid_uhid_test PROPERTIES AUTOMOC OFF)
  target_link_libraries(hid_uhid_test PRIVATE apdesk_hidapi)
  add_dependencies(hid_uhid_test apsim)
  add_test(NAME hid_uhid COMMAND ${PROJECT_SOURCE_DIR}/tools/hidvm/run --timeout 500 --ro ${CMAKE_BINARY_DIR} -- $<TARGET_FILE:hid_uhid_test>)
  set_tests_properties(hid_uhid PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
endif()

# The tool's parameter codec against the simulator's own encoding.
apdesk_test(parameter_round_trip_test SOURCES ParameterRoundTripTest.cpp LIBS apdesk_sim apdesk_protocol apdesk_protocol apdesk_hidsock)

# The same device removed and made again under apctl monitor --follow.
if(TARGET apsim AND TARGET apctl)
  # The script is shared too: a checkout under /tmp is not visible inside the VM.
  add_test(NAME uhid_follow COMMAND ${PROJECT_SOURCE_DIR}/tools/hidvm/run --timeout 500 --ro ${CMAKE_BINARY_DIR}
    --ro ${CMAKE_CURRENT_LIST_DIR} -- ${CMAKE_CURRENT_LIST_DIR}/uhid_follow.sh $<TARGET_FILE_DIR:apctl>)
  set_tests_properties(uhid_follow PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
endif()
