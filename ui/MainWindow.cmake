# The application shell: main window, log viewer, help binding, pictures
# (Windows), and its portable rules.
add_library(qv_shell_rules STATIC ColumnWidths.cpp DropJobs.cpp)
target_link_libraries(qv_shell_rules PUBLIC qv_engine)

if(WIN32)
  add_library(qv_help STATIC hh_funcs.cpp hh.cpp)
  target_link_libraries(qv_help PUBLIC qv_win version advapi32)

  add_library(qv_main_window STATIC Images.cpp CursorList.cpp FrmLog.cpp FrmVistorel.cpp)
  target_link_libraries(qv_main_window PUBLIC qv_shell_rules qv_help qv_jobs qv_actions qv_scheduler
                        qv_job_grid_view qv_job_editors qv_nextstart
                        qv_settings_win qv_win
                        comctl32 shell32)
endif()
