#pragma once
// Stability margins of a loop of a PID controller (ideal form, gain Kc in %
// output per PV unit, Ti and Td in s; Ti infinite for P only, Td 0 for PI)
// around a first-order process with dead time, from its frequency response
//   L(jw) = Kc (1 + 1 / (j w Ti) + j w Td) K exp(-j w theta) / (1 + j w tau).

namespace korvane {

struct FopdtModel;

struct LoopMargins {
  double Gain = 0.0;   // gain margin (factor); infinite when the phase never reaches -180 degrees
  double Phase = 0.0;  // phase margin, degrees; 180 when the loop gain never reaches 1
};

LoopMargins MarginsOf(const FopdtModel& model, double kc, double ti, double td);

}  // namespace korvane
