#include "tuning/SimcTuning.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>

#include "poll/WriteValue.h"

namespace korvane {
namespace {

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0) {
  char text[200];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// The register a factor goes to; false with the refusal when it does not fit.
bool Fits(double value, float factor, const char* name, bool zeroAllowed, std::string& refusal) {
  const ScaledWrite scaled = ScaleWriteValue(value, factor, name, Format("%g", value));
  if (!scaled.Ok) {
    refusal = scaled.Refusal;
    return false;
  }
  if (!zeroAllowed && scaled.Value <= 0) {
    refusal = std::string(name) + Format(" %g rounds to 0 in its register (factor %g): it cannot be written.",
                                         value, static_cast<double>(factor));
    return false;
  }
  return true;
}

}  // namespace

Proposal ProposeSimc(const FopdtModel& model, const TuningChoice& choice, double span,
                     const RegisterFactors& registers, double timeScale) {
  Proposal p;
  const double k = model.Gain, tau = model.TimeConstant * timeScale, theta = model.DeadTime * timeScale;
  if (!(std::isfinite(span) && span > 0.0)) {
    p.Refusal = "Enter the controller's input span (high - low, above 0): the band is a share of it.";
    return p;
  }
  if (!(std::isfinite(k) && k > 0.0) || !(std::isfinite(tau) && tau > 0.0) || !(theta >= 0.0) ||
      !(std::isfinite(choice.TcOverTheta) && choice.TcOverTheta > 0.0)) {
    p.Refusal = "The model's gain is not above 0 (PV does not rise with the output): a heating controller "
                "cannot be tuned for it.";
    return p;
  }
  // tau_c = factor x theta, at least tau / 100 so a dead time of 0 still gives finite factors.
  p.Tc = std::max(choice.TcOverTheta * theta, 0.01 * tau);
  if (choice.Pid) {
    const double tauS = tau + theta / 3.0, tdS = theta / 3.0;
    const double kcS = tauS / (k * (p.Tc + theta));
    const double tiS = std::min(tauS, 4.0 * (p.Tc + theta));
    p.Kc = kcS * (1.0 + tdS / tiS);
    p.Ti = tiS + tdS;
    p.Td = tiS * tdS / (tiS + tdS);
    p.Rule = Format("SIMC PID (improved, ideal form), \u03c4c = %.3g s = %.2g \u00d7 \u03b8", p.Tc, p.Tc / std::max(theta, 1e-9));
  } else {
    p.Kc = tau / (k * (p.Tc + theta));
    p.Ti = std::min(tau, 4.0 * (p.Tc + theta));
    p.Td = 0.0;
    p.Rule = Format("SIMC PI, \u03c4c = %.3g s = %.2g \u00d7 \u03b8", p.Tc, p.Tc / std::max(theta, 1e-9));
  }
  p.Factors.Band = 1e4 / (p.Kc * span);
  p.Factors.Ki = 60.0 / p.Ti;
  p.Factors.Kd = p.Td;
  if (!(p.Factors.Band <= kMaxBand)) {
    p.Refusal = Format("The band would be %.4g %%, over the largest %.1f %%: the process gain is too large for "
                       "this span.", p.Factors.Band, kMaxBand);
    return p;
  }
  if (!Fits(p.Factors.Band, registers.Kp, "Kp", false, p.Refusal) ||
      !Fits(p.Factors.Ki, registers.Ki, "Ki", false, p.Refusal) ||
      !Fits(p.Factors.Kd, registers.Kd, "Kd", true, p.Refusal)) {
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
  const double gainPct = 100.0 / factors.Band;
  std::deque<double> pipe(delaySteps, out0);
  double y = out0;                         // filtered, delayed output
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
    lastPv = pv;
    pv = offset + model.Gain * y;
  }
  return out;
}

std::string StepAdvice(const StepResponseFigures& figures, double out0, double kc, double gain) {
  if (!(figures.Elapsed > 0.0) || figures.LimitTime < 0.2 * figures.Elapsed) return {};
  std::string text = Format("The output sat on a limit for %.0f %% of the step: the loop ran open-loop, so this "
                            "step shows the process, not the tuning.", 100.0 * figures.LimitTime / figures.Elapsed);
  const double headroom = figures.Step >= 0.0 ? 100.0 - out0 : out0;
  const double perUnit = std::max(std::isfinite(kc) ? kc : 0.0, gain > 0.0 ? 1.0 / gain : 0.0);
  if (perUnit > 0.0 && headroom > 0.0 && std::isfinite(headroom)) {
    text += Format(" Try a step of about %.3g units.", std::floor(0.9 * headroom / perUnit));
  } else {
    text += Format(" Try a smaller step (about %.3g units).", std::fabs(figures.Step) / 2.0);
  }
  return text;
}

}  // namespace korvane
