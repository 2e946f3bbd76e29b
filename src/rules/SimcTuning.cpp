#include "rules/SimcTuning.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>

#include "poll/WriteValue.h"
#include "rules/FormConversion.h"
#include "rules/LoopMargins.h"

namespace korvane {
namespace {

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0) {
  char text[200];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// The value the register will hold for a factor; false with the refusal
// when it does not fit.
bool Fits(double value, float factor, const RegisterLayout& layout, const char* name, bool zeroAllowed, double& held,
          std::string& refusal) {
  const RegisterWrite scaled = ScaleRegisterWrite(value, factor, layout, name, Format("%g", value));
  if (!scaled.Ok) {
    refusal = scaled.Refusal;
    return false;
  }
  const double count = scaled.Written / static_cast<double>(factor);
  // A 16-bit write takes any count from -32768 to 65535; the factor's own
  // register holds only its format's range (an s16 read back as negative).
  if (RegisterSpan(layout.Format) == 1 && !EncodeRegisters(layout.Format, layout.Order, count)) {
    refusal = std::string(name) + Format(" %g does not fit its register (factor %g, ", value, static_cast<double>(factor)) +
              FormatText(layout.Format, layout.Order) + " " + FormatRange(layout.Format) + "): it cannot be written.";
    return false;
  }
  if (!zeroAllowed && !(count > 0.0)) {
    refusal = std::string(name) + Format(" %g rounds to 0 in its register (factor %g): it cannot be written.",
                                         value, static_cast<double>(factor));
    return false;
  }
  held = scaled.Written;
  return true;
}

// SIMC for one tau_c (process seconds), in the ideal form. A second lag
// `tau2`: with a derivative, Td = tau2 in the series form; without one, half
// of it goes to tau and half to theta (Skogestad's half rule).
void Simc(Proposal& p, double k, double tau, double theta, bool pid, double tau2 = 0.0) {
  if (tau2 > 0.0 && pid) {
    const double kcS = tau / (k * (p.Tc + theta)), tiS = std::min(tau, 4.0 * (p.Tc + theta));
    p.Kc = kcS * (1.0 + tau2 / tiS);
    p.Ti = tiS + tau2;
    p.Td = tiS * tau2 / (tiS + tau2);
    return;
  }
  if (tau2 > 0.0) {
    tau += tau2 / 2.0;
    theta += tau2 / 2.0;
  }
  if (pid) {
    const double tauS = tau + theta / 3.0, tdS = theta / 3.0;
    const double kcS = tauS / (k * (p.Tc + theta));
    const double tiS = std::min(tauS, 4.0 * (p.Tc + theta));
    p.Kc = kcS * (1.0 + tdS / tiS);
    p.Ti = tiS + tdS;
    p.Td = tiS * tdS / (tiS + tdS);
  } else {
    p.Kc = tau / (k * (p.Tc + theta));
    p.Ti = std::min(tau, 4.0 * (p.Tc + theta));
    p.Td = 0.0;
  }
}

}  // namespace

RegisterFactors RegisterFactorsOf(const RegisterMap& map) {
  return {map.FactorKp, map.FactorKi, map.FactorKd, map.Form, map.LayoutKp, map.LayoutKi, map.LayoutKd};
}

Proposal ProposeSimc(const FopdtModel& fitted, const TuningChoice& choice, double span,
                     const RegisterFactors& registers, double timeScale) {
  Proposal p;
  const FopdtModel model = InProcessTime(fitted, timeScale);
  const double k = model.Gain, tau = model.TimeConstant, theta = model.DeadTime, poll = model.Sampling;
  if (!registers.Form.Unusable.empty()) {
    ToForm({}, registers.Form, span, p.InForm, p.Refusal);  // says which unit
    return p;
  }
  if (!(std::isfinite(span) && span > 0.0)) {
    p.Refusal = "Enter the controller's input span (high - low, above 0): the band is a share of it.";
    return p;
  }
  if (!(std::isfinite(k) && k > 0.0) || !(std::isfinite(tau) && tau > 0.0) || !(theta >= 0.0) ||
      !(std::isfinite(choice.TcOverTheta) && choice.TcOverTheta > 0.0) || !(std::isfinite(timeScale) && timeScale > 0.0)) {
    p.Refusal = "The model's gain is not above 0 (PV does not rise with the output): a heating controller "
                "cannot be tuned for it.";
    return p;
  }
  if (!(theta > 0.0)) {
    p.Refusal = "The model's dead time is 0 s: no loop is that fast, and SIMC would answer it with a gain "
                "without bound. Identify from a step with a known write time.";
    return p;
  }
  if (poll > 0.0 && theta < poll) {
    p.Refusal = Format("The dead time (%.3g s) is shorter than one poll (%.3g s): the record cannot tell it well "
                       "enough for factors that are safe. Poll faster (a shorter update period), then make the "
                       "step again.", theta, poll);
    return p;
  }
  // tau_c = factor x theta, never below what the sampling resolves.
  const double resolved = DeadTimeFloor(poll);
  // A PI for two lags works on the half rule's theta, and tau_c follows it.
  const double thetaRule = model.SecondLag > 0.0 && !(choice.Pid && !model.Integrating) ? theta + model.SecondLag / 2.0 : theta;
  p.Tc = std::max(choice.TcOverTheta * thetaRule, resolved);
  const double tau2 = model.SecondLag;
  const std::string form = registers.Form.Series ? "series form" : "ideal form";
  const std::string rule = model.Integrating         ? "SIMC PI for an integrating process"
                           : tau2 > 0.0 && choice.Pid ? "SIMC PID for a second-order process (Td = \u03c42, " + form + ")"
                           : tau2 > 0.0               ? "SIMC PI for a second-order process (half of \u03c42 to \u03c4 and to \u03b8)"
                           : choice.Pid               ? "SIMC PID (improved, " + form + ")"
                                                      : "SIMC PI";
  // An integrating process gets PI: its lag is the integrator itself.
  const bool pid = choice.Pid && !model.Integrating;
  p.Rule = rule + Format(", \u03c4c = %.3g s = %.2g \u00d7 \u03b8", p.Tc, p.Tc / theta);
  if (p.Tc > choice.TcOverTheta * thetaRule) {
    p.Rule += Format(", at least %.3g s: what the sampling resolves", resolved);
  }
  // The loop must keep its margins with the dead time as long as the record
  // allows (its spread, at least a quarter of a poll): else tau_c grows.
  FopdtModel worst = model;
  worst.DeadTime = theta + std::max(model.DeadTimeSpread, DeadTimeFloor(poll));
  const double tcAsked = p.Tc;
  Simc(p, k, tau, theta, pid, tau2);
  LoopMargins margins = MarginsOf(worst, p.Kc, p.Ti, p.Td);
  for (int i = 0; i < 40 && (margins.Gain < kMinGainMargin || margins.Phase < kMinPhaseMargin); ++i) {
    p.Tc *= 1.1;
    Simc(p, k, tau, theta, pid, tau2);
    margins = MarginsOf(worst, p.Kc, p.Ti, p.Td);
  }
  if (margins.Gain < kMinGainMargin || margins.Phase < kMinPhaseMargin) {
    p.Refusal = Format("No \u03c4c keeps a gain margin of %.2g and a phase margin of %.0f\u00b0 for this model: "
                       "it cannot be tuned safely from this step.", kMinGainMargin, kMinPhaseMargin);
    return p;
  }
  if (p.Tc > tcAsked) {
    p.Rule += Format("; raised from %.3g s to %.3g s so the loop keeps a gain margin of %.2g", tcAsked, p.Tc,
                     kMinGainMargin) + Format(" and a phase margin of %.0f\u00b0 with \u03b8 up to %.3g s",
                                              kMinPhaseMargin, worst.DeadTime);
  }
  p.GainMargin = margins.Gain;
  p.PhaseMargin = margins.Phase;
  p.Factors.Band = 1e4 / (p.Kc * span);
  p.Factors.Ki = 60.0 / p.Ti;
  p.Factors.Kd = p.Td;
  if (registers.Form.K == ProportionalUnit::BandPercent && !(p.Factors.Band <= kMaxBand)) {
    p.Refusal = Format("The band would be %.4g %%, over the largest %.1f %%: the process gain is too large for "
                       "this span.", p.Factors.Band, kMaxBand);
    return p;
  }
  if (!ToForm(p.Factors, registers.Form, span, p.InForm, p.Refusal) ||
      !Fits(p.InForm.K, registers.Kp, registers.LayoutKp, "Kp", false, p.HeldInForm.K, p.Refusal) ||
      !Fits(p.InForm.Ki, registers.Ki, registers.LayoutKi, "Ki", false, p.HeldInForm.Ki, p.Refusal) ||
      !Fits(p.InForm.Kd, registers.Kd, registers.LayoutKd, "Kd", true, p.HeldInForm.Kd, p.Refusal) ||
      !FromForm(p.HeldInForm, registers.Form, span, p.Held, p.Refusal)) {
    return p;
  }
  const std::string doubt = ModelDoubt(model, true);
  if (!doubt.empty()) {
    p.Refusal = "Not offered for Apply: " + doubt + ". Make a larger or longer step and identify again.";
    return p;
  }
  p.Ok = true;
  return p;
}

std::vector<TuningSample> PredictClosedLoop(const FopdtModel& model, const ControllerFactors& factors, double span,
                                            double sp0, double sp1, double out0, double duration) {
  std::vector<TuningSample> out;
  if (!(duration > 0.0) || !(span > 0.0) || !(factors.Band > 0.0) || !(model.TimeConstant > 0.0) ||
      !std::isfinite(duration + span + factors.Band + factors.Ki + factors.Kd + sp0 + sp1 + out0 + model.Gain +
                     model.TimeConstant + model.DeadTime)) {
    return out;
  }
  constexpr int kSteps = 2000;
  const double dt = duration / kSteps;
  // A dead time past the end of the curve is as good as the whole curve.
  const auto delaySteps = static_cast<std::size_t>(std::lround(std::clamp(model.DeadTime / dt, 0.0, kSteps + 1.0)));
  const double a = std::exp(-dt / model.TimeConstant);
  const double b = model.SecondLag > 0.0 ? std::exp(-dt / model.SecondLag) : 0.0;
  const double gainPct = 100.0 / factors.Band;
  std::deque<double> pipe(delaySteps, out0);
  double y = out0;                         // filtered, delayed output
  double y2 = out0;                        // through the second lag
  double integral = out0;                  // the integral part holds the resting output
  // At rest at the old setpoint: the model's offset is moved so PV starts there.
  const double offset = sp0 - model.Gain * out0;
  double pv = offset + model.Gain * y;
  double lastPv = pv;
  out.reserve(kSteps + 1);
  for (int i = 0; i <= kSteps; ++i) {
    const double t = dt * i;
    const double e = (sp1 - pv) * 100.0 / span;
    const double dpv = i == 0 ? 0.0 : (pv - lastPv) * 100.0 / span / dt;
    double u = gainPct * (e - factors.Kd * dpv) + integral;
    const double clamped = std::clamp(u, 0.0, 100.0);
    // Anti-windup: the integral stands still while the output is driven into a limit.
    if (clamped == u || (u > 100.0 && e < 0.0) || (u < 0.0 && e > 0.0)) integral += gainPct * factors.Ki / 60.0 * e * dt;
    u = clamped;
    out.push_back({t, sp1, pv, u});
    pipe.push_back(u);
    const double delayed = pipe.front();
    pipe.pop_front();
    y = a * y + (1.0 - a) * delayed;
    y2 = b * y2 + (1.0 - b) * y;
    lastPv = pv;
    pv = offset + model.Gain * y2;
  }
  return out;
}

double LargestStep(double out0, bool up, const ControllerFactors& present, double span, double gain) {
  const double kc = present.Band > 0.0 && span > 0.0 ? 1e4 / (present.Band * span) : 0.0;
  const double perUnit = std::max(std::isfinite(kc) ? kc : 0.0, gain > 0.0 && std::isfinite(gain) ? 1.0 / gain : 0.0);
  const double headroom = up ? kHighOutput - out0 : out0 - kLowOutput;
  if (!(perUnit > 0.0) || !std::isfinite(headroom)) return NAN;
  return std::max(0.0, headroom / perUnit);
}

std::string StepAdvice(const StepResponseFigures& figures, double out0, const ControllerFactors& present,
                       double span, double gain) {
  if (!(figures.Elapsed > 0.0) || figures.LimitTime < 0.2 * figures.Elapsed) return {};
  std::string text = Format("The output sat on a limit for %.0f %% of the step: the loop ran open-loop, so this "
                            "step shows the process, not the tuning.", 100.0 * figures.LimitTime / figures.Elapsed);
  const double largest = LargestStep(out0, figures.Step >= 0.0, present, span, gain);
  if (std::isfinite(largest)) {
    text += Format(" From an output of %.3g %%, a step of at most about %.3g units keeps it within 5-95 %%", out0,
                   std::floor(largest)) + (gain > 0.0 ? " (present band and the model's gain)." : " (present band).");
  } else {
    text += " Enter the span: the largest step follows from the present band.";
  }
  return text;
}

}  // namespace korvane
