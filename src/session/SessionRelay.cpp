// The tuning session's relay test: the controller in its own on/off mode
// until PV swings steadily, the original factors and hysteresis written
// back, then the model fitted to the relay record and its proposal
// cross-checked against a relay rule from the ultimate point.

#include <cmath>
#include <vector>

#include "identify/RelayFit.h"
#include "identify/TuningText.h"
#include "session/TuningSession.h"

namespace korvane {

void TuningSession::RelayTick() {
  if (!writes_.Idle() || std::isnan(outcome_.RelayTime)) return;
  std::vector<TuningSample> record, rest;
  for (const TuningSample& s : recorder_.Samples()) (s.Time >= outcome_.RelayTime ? record : rest).push_back(s);
  RelayOptions options;
  options.NoiseSd = NoiseOf(rest);
  cycles_ = AnalyseRelay(record, outcome_.Before.SP, outcome_.Plan.Hysteresis, options);
  if (cycles_.Ok) {
    outcome_.Relay = cycles_;
    outcome_.RelayEnd = clock_();
    stage_ = SessionStage::RelayBack;
    writes_.Queue(Originals(false), 1);
    writes_.Tick(clock_(), FailTime());
    return;
  }
  if (cycles_.Final) Abort("The relay test does not oscillate as it must: " + cycles_.Reason);
}

void TuningSession::ProposeFromRelay() {
  const std::string back = " The original K, Ki, Kd and hysteresis are back.";
  // The record up to the moment the cycles were steady: after it the
  // controller left its on/off mode.
  std::vector<TuningSample> record;
  for (const TuningSample& s : recorder_.Samples()) {
    if (s.Time <= outcome_.RelayEnd) record.push_back(s);
  }
  FitOptions fit;
  fit.TimeScale = context_.TimeScale;
  outcome_.Model = IdentifyRelay(record, outcome_.RelayTime, *outcome_.Relay, fit);
  if (!outcome_.Model->Ok) {
    outcome_.StopReason = "No model: " + outcome_.Model->Refusal;
    return Finish(SessionStage::Stopped, outcome_.StopReason + back);
  }
  outcome_.ModelUltimate = UltimateOf(InProcessTime(outcome_.Model->Model, context_.TimeScale));
  const Proposal proposal = ProposeSimc(outcome_.Model->Model, outcome_.Plan.Choice, context_.Span(),
                                        context_.Registers, context_.TimeScale);
  outcome_.Proposed = proposal;
  if (!proposal.Ok) {
    outcome_.StopReason = "No proposal: " + proposal.Refusal;
    return Finish(SessionStage::Stopped, outcome_.StopReason + back);
  }
  const RelayCycles& relay = *outcome_.Relay;
  outcome_.RelayFactors = RelayRule(relay.Ku, relay.Pu * context_.TimeScale,
                                    outcome_.Plan.Choice.Pid ? RelayRuleKind::TyreusLuybenPid
                                                             : RelayRuleKind::TyreusLuybenPi,
                                    context_.Span());
  outcome_.Agreement = CrossCheck(proposal, *outcome_.RelayFactors);
  if (!outcome_.Agreement->Agree) {
    outcome_.ApplyRefusal = outcome_.Agreement->Why;
    return Finish(SessionStage::Done, "Not offered for Apply: " + outcome_.ApplyRefusal + back);
  }
  // What the new factors would make of a setpoint step of a tenth of the
  // span from where the loop rests (the approval's prediction).
  out0_ = outcome_.Before.Out;
  outcome_.VerifyStep = 0.0;
  outcome_.PredictedStep = std::copysign(0.1 * context_.Span(), outcome_.Before.Out <= 50.0 ? 1.0 : -1.0);
  Predict(10.0 * ResponseTime(InProcessTime(outcome_.Model->Model, context_.TimeScale)));
  stage_ = SessionStage::Proposed;
  if (outcome_.Plan.ApplyWithoutAsking) QueueApply();
}

std::string TuningSession::RelayWaiting() const {
  if (std::isnan(outcome_.RelayTime)) return "Writing the hysteresis, then K 0 (the controller's on/off mode).";
  const double scale = context_.TimeScale;
  std::string text = "The controller switches on/off around the setpoint";
  if (!cycles_.HalfPeriods.empty()) {
    text += TuningText(": %zu half period(s) so far, the latest %.3g s", cycles_.HalfPeriods.size(),
                       cycles_.HalfPeriods.back() * scale);
  }
  return text + TuningText(". Waiting for %zu steady periods (half periods and swings within 10 %%).",
                           RelayOptions{}.MinPeriods);
}

}  // namespace korvane
