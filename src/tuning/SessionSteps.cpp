// The tuning session's steps: the end of each recorded step, the model and
// proposal after the first, the factors written before the second, and the
// verdict after it.

#include <cmath>

#include "tuning/SessionText.h"
#include "tuning/TuningSession.h"

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
  const StepResponseFigures& before = *outcome_.Step1;
  outcome_.Worse = figures.Iae > before.Iae || (before.Settled && !figures.Settled);
  const double scale = context_.TimeScale;
  std::string result = SessionText("Step 2 under the new factors: IAE %.4g against %.4g in step 1", figures.Iae * scale,
                                   before.Iae * scale);
  if (outcome_.Predicted) result += SessionText(" (predicted %.4g)", outcome_.Predicted->Iae);
  result += outcome_.Worse ? ". Worse than step 1: the new factors stay until you restore the old ones."
                           : ". The new factors stay in the controller; the setpoint is back.";
  Finish(SessionStage::Done, std::move(result));
}

void TuningSession::Propose() {
  outcome_.Model = recorder_.Identify(RestTime(context_));
  if (!outcome_.Model->Ok) return Abort("No model: " + outcome_.Model->Refusal);
  const Proposal proposal = ProposeSimc(outcome_.Model->Model, outcome_.Plan.Choice, context_.Span(),
                                        context_.Registers, context_.TimeScale);
  outcome_.Proposed = proposal;
  if (!proposal.Ok) return Abort("No proposal: " + proposal.Refusal);

  // The second step as the model says the new factors will answer it, from
  // the output the loop holds now.
  const FopdtModel model = InProcessTime(outcome_.Model->Model, context_.TimeScale);
  const auto& samples = recorder_.Samples();
  const double out0 = samples.empty() ? outcome_.Before.Out : samples.back().Out;
  const double duration = 10.0 * (model.TimeConstant + model.DeadTime);
  outcome_.PredictedCurve = PredictClosedLoop(model, proposal.Held, context_.Span(), 0.0, -outcome_.Plan.Step, out0,
                                              duration);
  FigureOptions options{context_.BandShare, context_.PvResolution};
  options.RestPv = 0.0;
  StepFigures predicted(0.0, 0.0, -outcome_.Plan.Step, options);
  for (const TuningSample& s : outcome_.PredictedCurve) predicted.Add(s);
  outcome_.Predicted = predicted.Figures();

  stage_ = SessionStage::Proposed;
  if (outcome_.Plan.ApplyWithoutAsking) QueueApply();
}

void TuningSession::QueueApply() {
  const FormFactors& held = outcome_.Proposed->HeldInForm;
  stage_ = SessionStage::Applying;
  writes_.Queue({{ValueBox::K, "Kp", held.K, context_.Registers.Kp},
                 {ValueBox::Ki, "Ki", held.Ki, context_.Registers.Ki},
                 {ValueBox::Kd, "Kd", held.Kd, context_.Registers.Kd},
                 {ValueBox::SetPt, "setpoint", outcome_.Before.SP, context_.SpResolution}},
                1);
  writes_.Tick(clock_(), FailTime());
}

std::string TuningSession::Waiting() const {
  const double scale = context_.TimeScale;
  switch (stage_) {
    case SessionStage::Idle: return "No session yet.";
    case SessionStage::Step1:
    case SessionStage::Step2: {
      const bool first = stage_ == SessionStage::Step1;
      std::string text = first ? "Step 1: " : "Step 2 (new factors): ";
      if (!stepTime_) return text + "writing the setpoint.";
      const double target = first ? outcome_.Before.SP + outcome_.Plan.Step : outcome_.Before.SP;
      const double band = recorder_.Step() ? recorder_.Step()->Figures().Band : 0.0;
      text += SessionText("waiting for PV to settle near %.4g (band \u00b1%.3g)", target, band);
      const double limit = StepLimit();
      if (std::isfinite(limit)) text += SessionText(", at most until %.4g s into the step", (limit - *stepTime_) * scale);
      return text + ".";
    }
    case SessionStage::Proposed: return "Waiting for your answer: write the proposed factors?";
    case SessionStage::Applying: return "Writing the new factors, then the original setpoint.";
    case SessionStage::Returning: return "Writing the original setpoint back.";
    case SessionStage::Restoring:
      return (userRestore_ ? std::string("Writing the old factors back.")
                           : "Stopping: " + outcome_.StopReason + " Writing back the original setpoint and factors.") +
             (writes_.Values().empty() ? "" : " " + ControllerHolds());
    case SessionStage::Done:
    case SessionStage::Stopped: return outcome_.Result;
  }
  return {};
}

}  // namespace korvane
