# korvane_gui_chart: the live chart behind the main window's Chart1.
add_library(korvane_gui_chart STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/LiveChart.h
  ${CMAKE_CURRENT_SOURCE_DIR}/LiveChart.cpp)
set_target_properties(korvane_gui_chart PROPERTIES AUTOMOC ON)
target_include_directories(korvane_gui_chart PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(korvane_gui_chart
  PUBLIC Qt6::Widgets Qt6::Charts korvane_plot korvane_config
  PRIVATE korvane_warnings
  PUBLIC korvane_sanitizers)
