#pragma once
// The colours of the chart's three lines, shared by the colour keys beside
// the PV, Out and Setpoint boxes.

#include <QColor>

namespace korvane {

inline const QColor kSetpointColour{255, 0, 0};  // red
inline const QColor kPvColour{0, 128, 0};        // green
inline const QColor kOutputColour{0, 0, 255};    // blue

}  // namespace korvane
