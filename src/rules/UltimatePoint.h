#pragma once
// The ultimate point of a model: the frequency w_u where its phase is -180
// degrees, the period Pu = 2 pi / w_u and the gain Ku = 1 / |G(j w_u)| of a
// P controller that would keep the loop oscillating there. It is what a
// relay test measures (nearly: see identify/RelayCycles.h), so a measured
// Ku and Pu are judged against it.
//   first order:  G = K e^{-theta s} / (tau s + 1)
//   second order: G = K e^{-theta s} / ((tau s + 1)(tau2 s + 1))
//   integrating:  G = k e^{-theta s} / s, k = Gain / TimeConstant (the slope,
//                 PV units/s per %, as FopdtModel holds an integrating model),
//                 with a second lag when SecondLag is above 0
// The phase falls monotonically with w, so w_u is found by bisection.

#include <complex>
#include <string>

#include "identify/FopdtFit.h"

namespace korvane {

struct UltimatePoint {
  bool Ok = false;
  std::string Refusal;  // why there is none, when not Ok
  double Omega = 0.0;   // rad/s
  double Pu = 0.0;      // s
  double Ku = 0.0;      // % output per PV unit
};

// The model's frequency response at w (rad/s).
std::complex<double> FrequencyResponse(const FopdtModel& model, double w);

// The lowest frequency (rad/s) where the model's phase falls to `phase`
// (rad, between -pi/2 and minus infinity for a model with dead time): -pi at
// the ultimate point; -pi + asin(h / a) where a relay with the hysteresis h
// makes the loop oscillate with the amplitude a (its describing function).
// NaN when the phase never gets there (no dead time) or the model is not one.
double FrequencyAtPhase(const FopdtModel& model, double phase);

// Refused for a model without dead time (its phase never reaches -180
// degrees) or with a gain or time constant that is not above 0.
UltimatePoint UltimateOf(const FopdtModel& model);

}  // namespace korvane
