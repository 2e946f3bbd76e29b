#pragma once
// The process model from a relay test's record: the loop under its own
// controller until the relay started (the rest level, which need not be at
// rest), then the output switching between its two levels. The output is
// known only at the polls, but a relay's output is a square wave: it is
// taken to jump at each switch the cycles found (where PV crossed the
// switching level) and to hold its level between switches, so neither the
// dead time nor the gain is smeared by straight lines drawn across a switch.
// With PV noise those crossings miss the real switches by a good share of a
// poll, and the fit would take a shorter lag to forget the errors sooner:
// the model then places each switch within the polls around it and is
// fitted again while that leaves less. What the step fit judges by a step
// is judged by the relay's terms here: the output sits on its limits by
// design, PV's move is its peak-to-peak, and every model kind is fitted and
// compared (near one frequency a long lag, an integrator and two lags look
// alike). Measured on scripted loops (tests/identify/RelayFitTest.cpp): on
// first-order loops theta and the slope K / tau within 7 %, tau (SIMC's
// integral time) within 2 % without noise and 14-16 % rms (34 % at worst)
// with PV noise of 1 % of the span; on integrating ones theta and the slope
// within 6 %; behind a second lag 30 % and more off.
#include <span>

#include "identify/FopdtFit.h"
#include "identify/RelayCycles.h"

namespace korvane {

// Fits the model kinds of IdentifyFopdt to `samples` (oldest first), the
// relay started at `relayStart` (the write that put the controller into its
// on/off mode) and `cycles` the figures of the record from there (refused
// when they are not Ok).
Identification IdentifyRelay(std::span<const TuningSample> samples, double relayStart, const RelayCycles& cycles,
                             FitOptions options = {});

}  // namespace korvane
