# korvane_gui_config: the configuration dialog (TConfigForm) and the File
# menu's Load/Save Configuration commands, and the system's number settings.
add_library(korvane_gui_config STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ConfigForm.h
  ${CMAKE_CURRENT_LIST_DIR}/ConfigForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigFormLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigFileMenu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SystemLocale.cpp)
set_target_properties(korvane_gui_config PROPERTIES AUTOMOC ON)
target_include_directories(korvane_gui_config PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(korvane_gui_config
  PUBLIC Qt6::Widgets korvane_core korvane_sanitizers
  PRIVATE korvane_warnings)
