#pragma once
// PV's turn in a half cycle of a relay oscillation, estimated between coarse
// polls: a least-squares fit over the polls around the extreme sample, of
// either a corner (two straight flanks meeting at a free time t0, as a
// lag-dominated process turns when the output's switch reaches it) or a
// parabola (a smooth turn); the one with the smaller residual gives the
// turn. Either fit is used only when it turns the right way inside the
// polls next to the extreme sample; otherwise that sample is the turn.

#include <cstddef>
#include <span>

namespace korvane::relay {

struct Point {
  double T, Pv;
};

struct Turn {
  double Time = 0.0;
  double Pv = 0.0;
};

// The turn around points[extreme] (a minimum when `minimum`, else a
// maximum), fitted over at most `width` points either side.
Turn FitTurn(std::span<const Point> points, std::size_t extreme, bool minimum, std::size_t width);

}  // namespace korvane::relay
