#pragma once
// PI and PID factors for an identified first-order-plus-dead-time loop by
// Skogestad's SIMC rules, with the closed-loop time constant tau_c as the one
// tuning parameter (tau_c = theta by default; smaller is faster, larger more
// robust), converted into the controller's own units:
//   output % = 100 / band * (e + Ki / 60 * integral of e dt - Kd * dPV/dt),
// e in % of the input span, band in % of the span, Ki in repeats per minute,
// Kd in seconds.
//
//   PI:  Kc = tau / (K (tau_c + theta)),  Ti = min(tau, 4 (tau_c + theta))
//   PID: the improved SIMC rule, tau -> tau + theta/3 and Td = theta/3 in the
//        series form, turned into the ideal form above.

#include <string>
#include <vector>

#include "base/PidForm.h"
#include "base/RegisterFormat.h"
#include "base/Settings.h"
#include "identify/FopdtFit.h"
#include "identify/StepFigures.h"

namespace korvane {

struct TuningChoice {
  bool Pid = false;
  double TcOverTheta = 1.0;  // tau_c / theta
};

// The factors in the ideal form and the units the tuning computes in (a
// controller of another PidForm holds them converted: FormConversion.h).
struct ControllerFactors {
  double Band = 0.0;  // proportional band, % of the span
  double Ki = 0.0;    // repeats per minute
  double Kd = 0.0;    // derivative time, s
};

// How the controller holds the factors: the engineering value per register
// count of each (the register map's FactorKp, FactorKi, FactorKd), the form
// and units of the values, and the register each lies in (a proposal must
// fit its format's range).
struct RegisterFactors {
  float Kp = 0.1f;
  float Ki = 0.01f;
  float Kd = 1.0f;
  PidForm Form;
  RegisterLayout LayoutKp{.Format = RegisterFormat::U16};
  RegisterLayout LayoutKi{.Format = RegisterFormat::U16};
  RegisterLayout LayoutKd{.Format = RegisterFormat::U16};
};

// The factors, form and layouts a register map gives.
RegisterFactors RegisterFactorsOf(const RegisterMap& map);

struct Proposal {
  bool Ok = false;
  std::string Refusal;   // why nothing may be written, when not Ok
  double Tc = 0.0;       // tau_c used, s
  double Kc = 0.0;       // % output per PV unit (ideal form)
  double Ti = 0.0, Td = 0.0;
  ControllerFactors Factors;
  ControllerFactors Held;  // the ideal figures of what the registers will hold
  FormFactors InForm;      // Factors in the controller's form and units
  FormFactors HeldInForm;  // InForm rounded to a register count: what is written
  double GainMargin = 0.0, PhaseMargin = 0.0;  // of the loop with the longest dead time the record allows
  std::string Rule;      // the rule and its parameter, for the operator
};

// The margins a proposal must keep.
inline constexpr double kMinGainMargin = 1.7;
inline constexpr double kMinPhaseMargin = 30.0;

// The output range a step should keep to, %.
inline constexpr double kLowOutput = 5.0;
inline constexpr double kHighOutput = 95.0;

// The largest band a controller accepts, %.
inline constexpr double kMaxBand = 999.9;

// `span` is the input span in PV units (high - low). `timeScale` is the
// process seconds per model second (1 unless the model was fitted in a
// different clock than the controller's). Safe by construction: refused
// when the dead time is shorter than a poll; tau_c never below a quarter of
// a poll, and raised until the loop keeps its margins with the dead time at
// the long end of what the record allows (the rule line says so); not
// offered (Ok false, factors filled) when the model is too uncertain. The
// factors are computed in the ideal form and converted to `registers.Form`;
// refused when that form names a unit that cannot be converted.
Proposal ProposeSimc(const FopdtModel& model, const TuningChoice& choice, double span,
                     const RegisterFactors& registers, double timeScale = 1.0);

// The model's closed-loop response to a setpoint step from `sp0` (the loop at
// rest there with the output at `out0`) to `sp1`, under `factors`, from 0 to
// `duration` seconds: the predicted step response drawn over the chart.
std::vector<TuningSample> PredictClosedLoop(const FopdtModel& model, const ControllerFactors& factors, double span,
                                            double sp0, double sp1, double out0, double duration);

// The largest setpoint step (PV units) in the direction `up` that keeps the
// output within 5-95 % from `out0`: through the present band's kick and,
// once a model is known (`gain` above 0), the output the new setpoint needs.
// NaN when neither is known.
double LargestStep(double out0, bool up, const ControllerFactors& present, double span, double gain);

// A setpoint step so large that the output sat on a limit runs open-loop
// whatever the tuning. Returns the advice (empty when the step was fine):
// the share of time on the limit and the largest step above.
std::string StepAdvice(const StepResponseFigures& figures, double out0, const ControllerFactors& present,
                       double span, double gain);

}  // namespace korvane
