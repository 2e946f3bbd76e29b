#pragma once
// The figures of a relay feedback test (Astrom-Hagglund): the controller in
// on/off mode with a hysteresis h around the setpoint switches its output
// between two levels as PV crosses SP +- h, and the loop settles into a
// steady oscillation whose period Pu and amplitude give the ultimate point
// through the relay's describing function, which puts the oscillation where
// G(jw) = -(pi / 4d)(sqrt(a1^2 - h^2) + j h):
//   Ku = 4 d / (pi sqrt(a1^2 - h^2))   (d: half the output swing, %)
// in % output per PV unit, a1 the amplitude of PV's first harmonic at the
// oscillation's frequency (least squares of a sine and cosine over the
// polls of the steady run's whole periods). That is 1 / |Re G| there: it
// projects the oscillation's point onto the negative real axis, where the
// ultimate point lies. The peak a (half the peak-to-peak) in place of a1
// put Ku 17-33 % below the ultimate gain on the scripted loops: the peak of
// a wave near a triangle is larger than its first harmonic (by up to
// pi^2 / 8). 4 d / (pi a1), 1 / |G| at the oscillation, is never larger, and
// lay as close only where h is small against a1; with h a third of a1 or
// more it lay 7-25 % further below.
//
// The record is polled every 1-4 s, coarse against the oscillation, so the
// times and turns are estimated between the polls: an output switch at the
// time PV crossed the switching level (SP - h or SP + h, PV run straight
// between the two polls around the switch), PV's turn in each half cycle by
// a local least-squares fit around its extreme sample (a corner of two
// straight flanks, as a lag-dominated process turns, or a parabola, as a
// smooth one does; the one that fits better). Measured on scripted loops
// (tests/identify/RelayCyclesTest.cpp) against each loop's exact limit
// cycle: polled every 1-4 s without noise, Pu within 0.3 % and Ku within
// 0.4 %; with PV noise of 1 % of the span, polled every 1-2 s, Pu within
// 3.1 % and Ku within 4.6 %. What the relay itself misses, against the
// process's ultimate point: Ku within 3 % on first-order loops with dead
// time at a small hysteresis (and with uneven levels), 6 % with the noise,
// but 14-17 % below behind a second lag, on an integrator or with a
// hysteresis of 40 % of a1 (the oscillation sits asin(h / a1) short of -180
// degrees, where the gain is larger); Pu up to 18 % above (34 % with that
// hysteresis).

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "identify/TuningSample.h"

namespace korvane {

struct RelayOptions {
  // Steady: full periods and swings agree with the median of the latest
  // within this share, half periods with the latest of their kind within
  // twice it (each carries the jitter of two switches in half the time).
  double Steadiness = 0.10;
  // PV noise (SD, PV units) measured at rest: where twice it is more than
  // Steadiness of the swing, that share is the tolerance instead; it also
  // lowers the hysteresis Ku is reckoned with (noise switches the relay early).
  double NoiseSd = 0.0;
  std::size_t MinPeriods = 3;   // steady full periods the figures need
  double MinSwing = 1.0;        // % the output must move to count as a switch
  double OutLow = 0.5;          // output at or beyond these sits on a limit
  double OutHigh = 99.5;
};

struct RelayCycles {
  bool Ok = false;
  std::string Reason;  // why there are no figures, when not Ok
  // The reason will not go away as the test runs on: no crossing back for
  // longer than a whole half period, a half period shorter than two polls,
  // a steady swing no larger than the hysteresis.
  bool Final = false;

  // The output: its switch times (s) and its two levels (%); D is half the
  // difference. Heating: the output is high while PV is low (reverse
  // action); false when the record shows the opposite.
  std::vector<double> Switches;
  double High = 0.0, Low = 0.0, D = 0.0;
  bool Heating = true;

  // Half cycle k runs from Switches[k] to Switches[k + 1]: its length, PV's
  // turn in it (the extreme and its time) and the peak-to-peak from this
  // turn to the next (one fewer than the half cycles).
  std::vector<double> HalfPeriods;
  std::vector<double> Turns, TurnTimes;
  std::vector<double> PeakToPeak;

  // The steady run: the half cycles from SteadyFrom on agree with the latest
  // (RelayOptions::Steadiness); SteadyPeriods full periods fit in it.
  std::size_t SteadyFrom = 0;
  std::size_t SteadyPeriods = 0;

  double A = 0.0;   // half the mean peak-to-peak over the steady run, PV units
  // The amplitude of PV's first harmonic at 2 pi / Pu over the whole
  // periods of the steady run (PV units): what the describing function
  // reads, and what Ku is computed from.
  double A1 = 0.0;
  double Pu = 0.0;  // mean full period over the steady run, s
  double Ku = 0.0;  // % output per PV unit
  double H = 0.0;   // the hysteresis the figures used

  // From each output switch of the steady run to PV's turn: the apparent
  // dead time, its mean and standard deviation (s).
  double Delay = 0.0, DelaySpread = 0.0;

  double Poll = 0.0;  // median interval between the samples, s
};

// The figures of the relay record `samples` (oldest first; samples that are
// not finite are skipped, and when the time runs backwards only the run
// after the last such jump is used) around `setpoint` with the hysteresis
// `hysteresis` (PV units). Refused, with the reason: no oscillation (the
// output never switched, or PV never crossed back within the record), the
// output on a limit for longer than a whole half period, a half cycle with
// fewer than two polls, too few cycles, not steady yet, a swing (its peak or
// its first harmonic) no larger than the hysteresis.
RelayCycles AnalyseRelay(std::span<const TuningSample> samples, double setpoint, double hysteresis,
                         const RelayOptions& options = {});

}  // namespace korvane
