# Tests of the application shell.
qv_test(ui_shell_rules_tests shell_rules_test.cpp LIBS qv_shell_rules qv_jobs)
if(WIN32)
  qv_test(ui_shell_widgets_tests shell_widgets_test.cpp LIBS qv_help qv_win)
endif()
if(WIN32)
  qv_test(ui_main_window_tests main_window_test.cpp LIBS qv_main_window)
endif()
