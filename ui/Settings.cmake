# The settings file and the grid layout storage (portable), and the settings
# file through the Windows profile functions.
add_library(qv_settings STATIC Settings.cpp GridLayout.cpp)
target_link_libraries(qv_settings PUBLIC qv_grid_model)

if(WIN32)
  add_library(qv_settings_win STATIC SettingsWin32.cpp)
  target_link_libraries(qv_settings_win PUBLIC qv_settings)
endif()
