# Settings file and grid layout storage; on Windows also through the profile
# functions of the system.
if(WIN32)
  qv_test(ui_settings_tests settings_test.cpp layout_storage_test.cpp LIBS qv_settings_win)
else()
  qv_test(ui_settings_tests settings_test.cpp layout_storage_test.cpp LIBS qv_settings)
endif()
