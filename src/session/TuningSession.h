#pragma once
// The one-button tuning session: a small state machine driven by the poll
// cycle (its write observers and reply checks), the chart's samples and a
// regular tick, with the window only showing it.
//   Start (readiness checked) -> Step1 (setpoint + step written, recorded
//   until settled and at rest, or a limit from the time to 63 %) -> Proposed (identified,
//   SIMC proposal and its predicted response; waits for Approve unless the
//   plan applies without asking) -> Applying (factors, then the original
//   setpoint) -> Step2 (recorded until settled, compared with the prediction
//   and with step 1) -> Done.
// Decline writes the setpoint back (Returning -> Done, old factors). Abort,
// from any running stage and for any reason (the user, PV outside its
// limits, the port closed, polls failing, a write refused or typed by hand),
// writes back the original setpoint and factors (Restoring), retried on
// later ticks until answered; giving up says which values the controller
// holds now (Stopped).
// A relay test instead of step 1: Relay (the hysteresis, then K 0 written;
// recorded until PV swings steadily for enough periods) -> RelayBack (the
// original K, Ki, Kd and hysteresis written back) -> Proposed (the model
// fitted to the relay record, its proposal cross-checked against a relay
// rule from Ku and Pu; not offered when they disagree) -> Applying (the
// factors) -> Done. The setpoint is never written.

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "poll/PollHooks.h"
#include "poll/WriteObserver.h"
#include "identify/RelayCycles.h"
#include "record/TuningRecorder.h"
#include "rules/RelayRule.h"
#include "rules/UltimatePoint.h"
#include "session/SessionCheck.h"
#include "session/SessionWrites.h"

namespace korvane {

enum class SessionStage { Idle, Step1, Relay, RelayBack, Proposed, Applying, Step2, Returning, Restoring, Done, Stopped };

// What the session found, for the window and the report. Times of figures in
// chart seconds (InProcessTime turns them); the predicted figures in process
// seconds.
struct SessionOutcome {
  LoopValues Before;                     // the loop when the session started
  SessionPlan Plan;
  double Started = 0.0, Ended = 0.0;     // chart s
  double ActiveTime = 0.0;               // chart s, the user's answer not counted
  std::optional<StepResponseFigures> Step1, Step2, Predicted;
  std::optional<Identification> Model;   // chart time
  std::optional<Proposal> Proposed;
  // Process s from step 2's write, PV from where it started; once step 2
  // has ended, as long as its record (and Predicted from it).
  std::vector<TuningSample> PredictedCurve;
  // The verification step (signed): back to the original setpoint, or
  // only as far as keeps the output within 5-95 % under the new factors,
  // the setpoint going back after it; VerifyNote says so when it is shorter.
  double VerifyStep = 0.0;
  double PredictedStep = 0.0;  // a relay test's: the step its prediction answers
  std::string VerifyNote;
  double Step1Time = NAN, Step2Time = NAN;  // chart s of each step's write
  bool Applied = false;                  // the new factors are in the controller
  bool Worse = false;                    // step 2 answered worse than step 1
  // A relay test: when K 0 went out (chart s), the cycles it found (times
  // in chart s, Ku in % per PV unit), the relay rule's factors from Ku and
  // Pu and how the model's proposal compares with them; ApplyRefusal says
  // why the proposal was not offered (they disagree), else empty.
  double RelayTime = NAN, RelayEnd = NAN;  // RelayEnd: when the cycles were found steady
  std::optional<RelayCycles> Relay;
  std::optional<RelayTuning> RelayFactors;
  std::optional<RelayAgreement> Agreement;
  // The ultimate point of the model fitted to the relay record (process
  // s): where the loop's phase is -180 degrees, which the relay with its
  // hysteresis does not oscillate at.
  std::optional<UltimatePoint> ModelUltimate;
  std::string ApplyRefusal;
  std::string StopReason;                // why it stopped early; empty when it ran through
  std::string Result;                    // the closing sentence
};

class TuningSession : public WriteObserver, public ResultObserver {
 public:
  // `clock` gives the chart time; `write` sets a parameter write pending
  // (the poll cycle's WriteTextClick); a NaN takes back the one pending.
  TuningSession(SessionContext context, std::function<double()> clock, std::function<void(ValueBox, double)> write);
  ~TuningSession() override;
  TuningSession(const TuningSession&) = delete;
  TuningSession& operator=(const TuningSession&) = delete;

  // Checks readiness and, when nothing is missing, writes the step. Returns
  // what is missing (nothing started then).
  std::vector<std::string> Start(const ReadinessInput& input, const SessionPlan& plan);
  void Sample(const TuningSample& sample);
  // The regular tick: writes handed over, limits and time watched.
  void Tick(bool portOpen);
  void Approve();
  void Decline();
  // Stops a running session, writing back what it changed; in Restoring,
  // gives up the write-back (the controller's values are said).
  void Abort(const std::string& reason);
  // Done with the new factors in place: writes the old ones back.
  void RestoreOld();

  SessionStage Stage() const noexcept { return stage_; }
  bool Running() const noexcept;
  // What the session waits for now, one sentence.
  std::string Waiting() const;
  double Elapsed() const;
  const SessionOutcome& Outcome() const noexcept { return outcome_; }
  const TuningRecorder& Recorder() const noexcept { return recorder_; }
  const SessionContext& Context() const noexcept { return context_; }

  // Poll cycle observers.
  void WriteSent(std::string_view what, double oldValue, double newValue) override;
  void WriteAnswered(const std::string& text) override;
  void WriteRefused(std::string_view what, const std::string& reason) override;
  void RequestSent(bool) override {}
  void ReplyChecked(std::int32_t result, bool write) override;

  // The chart seconds without a good reply after which polls count as failing.
  double FailTime() const;
  // A good reply within FailTime and no failed one for RestTime.
  bool PollsClean() const;
  // New span, time scale, poll interval, factors; kept while a session runs.
  void SetContext(const SessionContext& context);

 private:
  void EndStep(bool second);
  bool StepOver(double now) const;
  void Propose();
  void Predict(double duration);
  double Step2Target() const;  // the setpoint step 2 goes to
  void QueueApply();
  void Restore(bool factors);
  void Finish(SessionStage stage, std::string result);
  std::string ControllerHolds() const;
  double StepLimit() const;
  bool IsRelay() const noexcept { return outcome_.Plan.Kind == SessionKind::Relay; }
  // The relay stage's tick: the cycles so far, and the write-back once they
  // are steady (or the stop, when they never will be).
  void RelayTick();
  void ProposeFromRelay();
  std::string RelayWaiting() const;
  std::deque<SessionWrite> Originals(bool setpoint) const;

  SessionContext context_;
  std::function<double()> clock_;
  SessionWrites writes_;
  TuningRecorder recorder_;
  SessionOutcome outcome_;
  SessionStage stage_ = SessionStage::Idle;
  bool factorsTouched_ = false;
  bool hysTouched_ = false;
  bool spTouched_ = false;
  bool userRestore_ = false;
  bool portOpen_ = true;
  std::optional<double> stepTime_;  // the running step's write
  std::optional<double> t63_;       // s from the step until PV passed 63 % of it
  double out0_ = 0.0;               // the output as step 1 ended
  double predictedRest_ = 0.0;      // process s into step 2 after which the prediction is at rest
  double lastGood_ = -INFINITY;
  double lastBad_ = -INFINITY;
  double lastTick_ = 0.0;
  RelayCycles cycles_;              // the relay record's figures at the last tick
  int restoreTries_ = 0;
};

}  // namespace korvane
