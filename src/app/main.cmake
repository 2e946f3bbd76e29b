# The main window's code as a library (linked by the program and its GUI
# tests) and the korvane program itself.
add_library(korvane_gui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AboutForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChartArea.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormControls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HandlerErrors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainFormLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainMenu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PidGroup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlotGroup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtMainThread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtPollView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StartupCurve.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TerminationSignals.cpp
  # Headers with Q_OBJECT, listed so AUTOMOC sees them.
  ${CMAKE_CURRENT_LIST_DIR}/AboutForm.h
  ${CMAKE_CURRENT_LIST_DIR}/MainForm.h
  ${CMAKE_CURRENT_LIST_DIR}/TerminationSignals.h
)
set_target_properties(korvane_gui PROPERTIES AUTOMOC ON)
target_include_directories(korvane_gui PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(korvane_gui
  PUBLIC Qt6::Widgets Qt6::Charts korvane_core korvane_gui_chart korvane_sanitizers
  PRIVATE korvane_warnings)
target_link_libraries(korvane_gui PUBLIC korvane_gui_config)

add_executable(korvane ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(korvane PRIVATE korvane_gui korvane_warnings)
install(TARGETS korvane RUNTIME DESTINATION bin)
