#pragma once
// The process model from a relay test's record: the loop under its own
// controller until the relay started (the rest level, which need not be at
// rest), then the output switching between its two levels. The output is
// known only at the polls, but a relay's output is a square wave: it is
// taken to jump at each switch the cycles found (where PV crossed the
// switching level) and to hold its level between switches, so neither the
// dead time nor the gain is smeared by straight lines drawn across a switch.
// The output sits on its limits the whole time by design, which the step
// fit would refuse; here it is the known input.

#include <span>

#include "identify/FopdtFit.h"
#include "identify/RelayCycles.h"

namespace korvane {

// Fits the model kinds of IdentifyFopdt to `samples` (oldest first), the
// relay started at `relayStart` (the write that put the controller into its
// on/off mode) and `cycles` the figures of the record from there.
Identification IdentifyRelay(std::span<const TuningSample> samples, double relayStart, const RelayCycles& cycles,
                             FitOptions options = {});

}  // namespace korvane
