#pragma once
// Draws the start-up demonstration curve into the chart's three series.

namespace korvane {

struct MainFormWidgets;

// Fills Setpoint, Output and PV with the demonstration curve and scales the
// automatic left axis to the setpoint and PV values drawn.
void DrawDemonstrationCurve(const MainFormWidgets& widgets);

}  // namespace korvane
