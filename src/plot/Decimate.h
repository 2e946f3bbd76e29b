#pragma once
// Thinning a drawn series to what its pixels can show.
//
// A line through many points per pixel column lights, in that column, the
// run of pixels from the column's lowest to its highest point, entered from
// the column's first point and left from its last. Keeping, per column, the
// first and the last point, and the lowest and the highest where those two
// do not already reach them (in their stored order), therefore draws the
// same picture, while a redraw costs at most four points per column,
// whatever the number of samples in the window. A point that repeats the
// previous one, or continues a horizontal run, adds nothing to the line
// either and is left out too, also from a series too short to thin (a
// steady setpoint then costs two points, not one per sample).

#include <span>
#include <vector>

#include "plot/Redraw.h"

namespace korvane {

// How the bottom axis maps x onto device pixels: x = axisMin lands at device
// position `left`, x = axisMax at `left + width`. A point belongs to column
// floor(position / columnWidth); points left or right of the axis fall into
// columns of their own (beyond a plot width, one column on each side).
struct PixelColumns {
  double axisMin = 0.0;
  double axisMax = 1.0;
  double left = 0.0;         // device pixels
  double width = 0.0;        // device pixels
  double columnWidth = 1.0;  // device pixels per column
};

// The points of an ascending-x series to draw into `columns`: the series
// itself when it holds no more than four points per column (or the mapping
// is empty), else per column its first and last point and the lowest and
// highest they do not reach, each once, in stored order; either way without
// repeated points or the inner points of horizontal runs. NaN y values never count
// as lowest or highest.
std::vector<PlotPoint> DecimateForColumns(std::span<const PlotPoint> points,
                                          const PixelColumns& columns);

// Decimates the three series of a redraw in place (see above).
void DecimateRedraw(RedrawResult& redraw, const PixelColumns& columns);

}  // namespace korvane
