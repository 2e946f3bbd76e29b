// The tuning session's steps: the end of each recorded step, the model and
// proposal after the first, the factors written before the second, and the
// verdict after it.

#include <algorithm>
#include <cmath>
#include <vector>

#include "identify/TuningText.h"
#include "session/TuningSession.h"

namespace korvane {

void TuningSession::EndStep(bool second) {
  const StepResponseFigures figures = recorder_.Step()->Figures();
  stepTime_.reset();
  t63_.reset();
  if (!second) {
    outcome_.Step1 = figures;
    Propose();
    return;
  }
  outcome_.Step2 = figures;
  // The prediction again over the time step 2 was recorded: both sets of
  // figures cover the same stretch.
  Predict(figures.Elapsed * context_.TimeScale);
  const StepResponseFigures& before = *outcome_.Step1;
  const double scale = context_.TimeScale;
  // Step 1's IAE for a step of step 2's size (the IAE of a linear loop grows with the step).
  const double size = std::fabs(outcome_.VerifyStep / outcome_.Plan.Step);
  outcome_.Worse = figures.Iae > size * before.Iae || (before.Settled && !figures.Settled);
  std::string result =
      size == 1.0 ? TuningText("Step 2 under the new factors: IAE %.4g against %.4g in step 1", figures.Iae * scale,
                                before.Iae * scale)
                  : TuningText("Step 2 under the new factors (a step of %+.4g): IAE %.4g against %.4g in step 1 "
                                "for a step of its size", outcome_.VerifyStep, figures.Iae * scale,
                                size * before.Iae * scale);
  if (outcome_.Predicted) result += TuningText(" (predicted %.4g over the same time)", outcome_.Predicted->Iae);
  result += outcome_.Worse ? ". Worse than step 1: the new factors stay until you restore the old ones."
                           : ". The new factors stay in the controller; the setpoint is back.";
  if (Step2Target() != outcome_.Before.SP) {
    // A shortened verification: the rest of the way back, then done.
    outcome_.Result = std::move(result);
    stage_ = SessionStage::Returning;
    writes_.Queue({{ValueBox::SetPt, "setpoint", outcome_.Before.SP, context_.SpResolution}}, 1);
    writes_.Tick(clock_(), FailTime());
    return;
  }
  Finish(SessionStage::Done, std::move(result));
}

// Over once the figures say settled, the writes are through and PV has come
// to rest: its straight-line trend over the later half of the step (at
// least the rest time) moves it by less than half a PV count (a quarter of
// the band when the count is not known); a PV still creeping in inside the
// band is not at the end, and step 2 lasts at least as long as its
// prediction takes to come to rest. Or once the step's limit is past.
bool TuningSession::StepOver(double now) const {
  if (now >= StepLimit()) return true;
  // Step 2 no shorter than the prediction takes to come to rest: its tail is part of the figures.
  if (stage_ == SessionStage::Step2 && (now - *stepTime_) * context_.TimeScale < predictedRest_) return false;
  const StepResponseFigures& f = recorder_.Step()->Figures();
  if (!f.Settled || !writes_.Idle()) return false;
  const double window = std::max(RestTime(context_), 0.5 * (now - *stepTime_));
  std::vector<TuningSample> last;
  for (auto it = recorder_.Samples().rbegin(); it != recorder_.Samples().rend(); ++it) {
    if (it->Time < now - window || it->Time < *stepTime_) break;
    last.push_back(*it);
  }
  if (last.size() < 5) return false;
  const double n = static_cast<double>(last.size());
  double st = 0.0, sp = 0.0, stt = 0.0, stp = 0.0;
  for (const TuningSample& x : last) {
    st += x.Time / n;
    sp += x.PV / n;
  }
  for (const TuningSample& x : last) {
    stt += (x.Time - st) * (x.Time - st);
    stp += (x.Time - st) * (x.PV - sp);
  }
  const double count = context_.PvResolution > 0.0 ? context_.PvResolution : 0.5 * f.Band;
  return stt > 0.0 && std::fabs(stp / stt) * window < 0.5 * count;
}

double TuningSession::Step2Target() const {
  const SessionOutcome& o = outcome_;
  return o.VerifyStep == -o.Plan.Step ? o.Before.SP : o.Before.SP + o.Plan.Step + o.VerifyStep;
}

void TuningSession::Propose() {
  FitOptions fit;
  fit.TimeScale = context_.TimeScale;
  outcome_.Model = recorder_.Identify(RestTime(context_), fit);
  if (!outcome_.Model->Ok) return Abort("No model: " + outcome_.Model->Refusal);
  const Proposal proposal = ProposeSimc(outcome_.Model->Model, outcome_.Plan.Choice, context_.Span(),
                                        context_.Registers, context_.TimeScale);
  outcome_.Proposed = proposal;
  if (!proposal.Ok) return Abort("No proposal: " + proposal.Refusal);

  // The verification step from the output the loop holds now: back to the
  // original setpoint, unless under the new factors that would drive the
  // output onto a limit (the same 5-95 % rule as the first step's: the
  // kick, the model's gain, and the output the model predicts for a step of
  // one unit, integral included); then as far as the rule allows.
  const auto& samples = recorder_.Samples();
  out0_ = samples.empty() ? outcome_.Before.Out : samples.back().Out;
  const FopdtModel& model = outcome_.Model->Model;
  const FopdtModel process = InProcessTime(model, context_.TimeScale);
  const double back = -outcome_.Plan.Step;
  const double length = 10.0 * ResponseTime(process);
  outcome_.VerifyStep = back;
  outcome_.VerifyNote.clear();
  double largest = LargestStep(out0_, back > 0.0, proposal.Held, context_.Span(), model.Gain);
  double reach = 0.0;  // % the output goes out per unit of step
  for (const TuningSample& s : PredictClosedLoop(process, proposal.Held, context_.Span(), 0.0, back > 0.0 ? 1.0 : -1.0,
                                                 out0_, length)) {
    reach = std::max(reach, back > 0.0 ? s.Out - out0_ : out0_ - s.Out);
  }
  const double headroom = back > 0.0 ? kHighOutput - out0_ : out0_ - kLowOutput;
  if (reach > 0.0) largest = std::isfinite(largest) ? std::min(largest, headroom / reach) : headroom / reach;
  largest = std::max(largest, 0.0);
  if (std::isfinite(largest) && std::fabs(back) > largest) {
    const double count = context_.SpResolution > 0.0 ? context_.SpResolution : 1.0;
    const double allowed = std::floor(largest / count) * count;
    if (allowed >= count) {
      outcome_.VerifyStep = std::copysign(allowed, back);
      outcome_.VerifyNote = TuningText("With the new factors a step back of %+.4g would drive the output onto a "
                                        "limit (from %.3g %%, at most about %.4g units keep it within 5-95 %%): ",
                                        back, out0_, allowed) +
                            TuningText("step 2 verifies with a step of %+.4g to %.6g, then the setpoint goes back "
                                        "to %.6g.", outcome_.VerifyStep, Step2Target(), outcome_.Before.SP);
    } else {
      outcome_.VerifyNote = TuningText("With the new factors a step back of %+.4g drives the output onto a limit "
                                        "(from %.3g %%) and no smaller step keeps it within 5-95 %%: step 2 "
                                        "verifies with the whole step, the output on a limit for a while.",
                                        back, out0_);
    }
  }
  // The second step as the model says the new factors will answer it, and
  // when it comes to rest: the last time it is more than half a PV count
  // (a quarter of the band when the count is not known) from where it ends.
  Predict(length);
  predictedRest_ = 0.0;
  if (!outcome_.PredictedCurve.empty() && outcome_.Predicted) {
    const double near = context_.PvResolution > 0.0 ? 0.5 * context_.PvResolution : 0.25 * outcome_.Predicted->Band;
    const double end = outcome_.PredictedCurve.back().PV;
    for (auto it = outcome_.PredictedCurve.rbegin(); it != outcome_.PredictedCurve.rend(); ++it) {
      if (std::fabs(it->PV - end) > near) {
        predictedRest_ = it->Time;
        break;
      }
    }
  }

  stage_ = SessionStage::Proposed;
  if (outcome_.Plan.ApplyWithoutAsking) QueueApply();
}

// The predicted response of step 2 for `duration` process seconds and its figures.
void TuningSession::Predict(double duration) {
  if (!(duration > 0.0)) return;
  const FopdtModel model = InProcessTime(outcome_.Model->Model, context_.TimeScale);
  const double step = IsRelay() ? outcome_.PredictedStep : outcome_.VerifyStep;
  outcome_.PredictedCurve = PredictClosedLoop(model, outcome_.Proposed->Held, context_.Span(), 0.0, step, out0_,
                                              duration);
  FigureOptions options{context_.BandShare, context_.PvResolution};
  options.RestPv = 0.0;
  StepFigures predicted(0.0, 0.0, step, options);
  for (const TuningSample& s : outcome_.PredictedCurve) predicted.Add(s);
  predicted.Refresh();
  outcome_.Predicted = predicted.Figures();
}

void TuningSession::QueueApply() {
  const FormFactors& held = outcome_.Proposed->HeldInForm;
  stage_ = SessionStage::Applying;
  if (IsRelay()) {
    writes_.Queue({{ValueBox::K, "Kp", held.K, context_.Registers.Kp},
                   {ValueBox::Ki, "Ki", held.Ki, context_.Registers.Ki},
                   {ValueBox::Kd, "Kd", held.Kd, context_.Registers.Kd}},
                  1);
    writes_.Tick(clock_(), FailTime());
    return;
  }
  writes_.Queue({{ValueBox::K, "Kp", held.K, context_.Registers.Kp},
                 {ValueBox::Ki, "Ki", held.Ki, context_.Registers.Ki},
                 {ValueBox::Kd, "Kd", held.Kd, context_.Registers.Kd},
                 {ValueBox::SetPt, "setpoint", Step2Target(), context_.SpResolution}},
                1);
  writes_.Tick(clock_(), FailTime());
}

std::string TuningSession::Waiting() const {
  const double scale = context_.TimeScale;
  switch (stage_) {
    case SessionStage::Idle: return "No session yet.";
    case SessionStage::Step1:
    case SessionStage::Step2: {
      // The stage's name goes before this on the stage line.
      if (!stepTime_) return "Writing the setpoint.";
      const double target = stage_ == SessionStage::Step1 ? outcome_.Before.SP + outcome_.Plan.Step : Step2Target();
      const double band = recorder_.Step() ? recorder_.Step()->Figures().Band : 0.0;
      std::string text = TuningText("Waiting for PV to settle near %.4g (band \u00b1%.3g) and come to rest", target,
                                     band);
      if (stage_ == SessionStage::Step2 && predictedRest_ > 0.0) {
        text += ", not before " + ProcessSecondsText(predictedRest_ / scale, scale) + " into the step (the prediction's)";
      }
      const double limit = StepLimit();
      if (std::isfinite(limit)) text += ", at most until " + ProcessSecondsText(limit - *stepTime_, scale) + " into the step";
      return text + ".";
    }
    case SessionStage::Relay: return RelayWaiting();
    case SessionStage::RelayBack: return "Writing the original K, Ki, Kd and hysteresis back.";
    case SessionStage::Proposed: return "Waiting for your answer: write the proposed factors?";
    case SessionStage::Applying:
      return IsRelay() ? "Writing the new factors." : "Writing the new factors, then the original setpoint.";
    case SessionStage::Returning: return "Writing the original setpoint back.";
    case SessionStage::Restoring:
      return (userRestore_ ? std::string("Writing the old factors back.")
                           : "Stopping: " + outcome_.StopReason +
                                 (IsRelay() ? " Writing back the original K, Ki, Kd and hysteresis."
                                            : " Writing back the original setpoint and factors.")) +
             (writes_.Values().empty() ? "" : " " + ControllerHolds());
    case SessionStage::Done:
    case SessionStage::Stopped: return outcome_.Result;
  }
  return {};
}

}  // namespace korvane
