#include "session/TuningSession.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>

#include "identify/TuningText.h"
#include "master/MasterCode.h"
#include "rules/FormConversion.h"

namespace korvane {
namespace {

// Running sessions in this process: a second one is refused.
std::atomic<int> gRunning{0};

constexpr int kManyTries = 1 << 30;  // the write-back is tried until answered or given up

}  // namespace

TuningSession::TuningSession(SessionContext context, std::function<double()> clock,
                             std::function<void(ValueBox, double)> write)
    : context_(context), clock_(std::move(clock)), writes_(std::move(write)),
      recorder_([this] { return clock_(); }, FigureOptions{context.BandShare, context.PvResolution}) {}

TuningSession::~TuningSession() {
  if (Running()) --gRunning;
}

bool TuningSession::Running() const noexcept {
  return stage_ != SessionStage::Idle && stage_ != SessionStage::Done && stage_ != SessionStage::Stopped;
}

double TuningSession::FailTime() const { return std::max(5.0 * context_.Poll, 3.0 / context_.TimeScale); }

bool TuningSession::PollsClean() const {
  const double now = clock_();
  return now - lastGood_ <= FailTime() && now - lastBad_ > RestTime(context_);
}

void TuningSession::SetContext(const SessionContext& context) {
  if (!Running()) context_ = context;
}

double TuningSession::Elapsed() const { return Running() ? clock_() - outcome_.Started : outcome_.Ended - outcome_.Started; }

std::vector<std::string> TuningSession::Start(const ReadinessInput& input, const SessionPlan& plan) {
  if (Running() || gRunning > 0) return {"A tuning session is already running: wait for it or abort it."};
  std::vector<std::string> missing = CheckReadiness(input, plan, context_);
  if (!missing.empty()) return missing;
  ++gRunning;
  const double now = clock_();
  outcome_ = SessionOutcome{};
  outcome_.Before = input.Now;
  outcome_.Plan = plan;
  outcome_.Started = now;
  recorder_ = TuningRecorder([this] { return clock_(); }, FigureOptions{context_.BandShare, context_.PvResolution});
  // The rest before the step, for the fit's rest level and the noise.
  for (const TuningSample& s : input.Samples) {
    if (s.Time >= now - 2.0 * RestTime(context_)) recorder_.AddSample(s);
  }
  writes_.Clear();
  factorsTouched_ = hysTouched_ = spTouched_ = userRestore_ = false;
  stepTime_.reset();
  t63_.reset();
  lastGood_ = lastTick_ = now;
  portOpen_ = true;
  if (IsRelay()) {
    // The hysteresis first: while K is not 0 it changes nothing, so the
    // controller never switches with the hysteresis it had.
    stage_ = SessionStage::Relay;
    writes_.Queue({{ValueBox::Hys, "hysteresis", plan.Hysteresis, context_.HysResolution},
                   {ValueBox::K, "Kp", 0.0, context_.Registers.Kp}},
                  1);
  } else {
    stage_ = SessionStage::Step1;
    writes_.Queue({{ValueBox::SetPt, "setpoint", input.Now.SP + plan.Step, context_.SpResolution}}, 1);
  }
  writes_.Tick(now, FailTime());
  return {};
}

void TuningSession::Sample(const TuningSample& sample) {
  if (!Running() || !IsUsable(sample)) return;
  recorder_.AddSample(sample);
  const bool stepping = stage_ == SessionStage::Step1 || stage_ == SessionStage::Step2;
  if (stepping && stepTime_ && !t63_ && sample.Time >= *stepTime_) {
    const double step = stage_ == SessionStage::Step1 ? outcome_.Plan.Step : outcome_.VerifyStep;
    const double from = stage_ == SessionStage::Step1 ? outcome_.Before.SP : outcome_.Before.SP + outcome_.Plan.Step;
    if ((sample.PV - from) / step >= 0.632) t63_ = sample.Time - *stepTime_;
  }
  if (stage_ != SessionStage::Restoring && (sample.PV < outcome_.Plan.PvLow || sample.PV > outcome_.Plan.PvHigh)) {
    Abort(TuningText("PV %.4g left the limits %.4g to %.4g.", sample.PV, outcome_.Plan.PvLow, outcome_.Plan.PvHigh));
  }
}

double TuningSession::StepLimit() const {
  if (!stepTime_ || !t63_) return INFINITY;
  // Step 2 at least half as long again as the prediction takes to come to rest.
  const double rest = stage_ == SessionStage::Step2 ? 1.5 * predictedRest_ / context_.TimeScale : 0.0;
  return *stepTime_ + std::max({6.0 * *t63_, 10.0 * context_.Poll, rest});
}

void TuningSession::Tick(bool portOpen) {
  if (!Running()) return;
  const double now = clock_();
  if (stage_ != SessionStage::Proposed && stage_ != SessionStage::Restoring) outcome_.ActiveTime += now - lastTick_;
  lastTick_ = now;
  portOpen_ = portOpen;
  if (stage_ == SessionStage::Restoring) {
    if (!portOpen) {
      Finish(SessionStage::Stopped, outcome_.StopReason + " The port is closed: nothing could be written back. " +
                                        ControllerHolds());
      return;
    }
    writes_.Tick(now, std::max(3.0 * context_.Poll, 1.0 / context_.TimeScale));
    if (writes_.Idle()) {
      Finish(userRestore_ ? SessionStage::Done : SessionStage::Stopped,
             userRestore_ ? "The old factors are back."
             : outcome_.StopReason + (IsRelay() ? " The original K, Ki, Kd and hysteresis are back."
                                                : " The original setpoint and factors are back."));
    }
    return;
  }
  if (!portOpen) return Abort("The port closed.");
  if (now - lastGood_ > FailTime()) {
    return Abort("The device has not answered for " + ProcessSecondsText(now - lastGood_, context_.TimeScale) +
                 ": polls are failing.");
  }
  if (outcome_.ActiveTime > outcome_.Plan.MaxTime) {
    return Abort("The session ran past its longest time (" +
                 ProcessSecondsText(outcome_.Plan.MaxTime, context_.TimeScale) + ").");
  }
  // Checked after the hand-over, which gives up a write: nothing goes on as
  // if it had arrived.
  writes_.Tick(now, FailTime());
  if (writes_.GaveUp()) return Abort("The write of the " + writes_.GaveUp()->What + " was not answered.");
  if (stage_ == SessionStage::Relay) return RelayTick();
  if (stage_ == SessionStage::RelayBack && writes_.Idle()) return ProposeFromRelay();
  if (stage_ == SessionStage::Applying && IsRelay() && writes_.Idle()) {
    outcome_.Applied = true;
    Finish(SessionStage::Done, "The new factors are in the controller: " +
                                   FactorsText(outcome_.Proposed->HeldInForm, context_.Registers.Form) + ".");
    return;
  }
  if (stage_ == SessionStage::Returning && writes_.Idle()) {
    // After a shortened verification the verdict stands; after Decline, the old factors.
    Finish(SessionStage::Done, outcome_.Applied ? outcome_.Result
                                                : "Declined: the setpoint is back and the old factors stay.");
    return;
  }
  if ((stage_ == SessionStage::Step1 || stage_ == SessionStage::Step2) && stepTime_ && recorder_.Step() &&
      StepOver(now)) {
    EndStep(stage_ == SessionStage::Step2);
  }
}

void TuningSession::Approve() {
  if (stage_ != SessionStage::Proposed) return;
  QueueApply();
}

void TuningSession::Decline() {
  if (stage_ != SessionStage::Proposed) return;
  if (IsRelay()) {
    // The relay's writes are already undone.
    Finish(SessionStage::Done, "Declined: the old factors stay.");
    return;
  }
  stage_ = SessionStage::Returning;
  writes_.Queue({{ValueBox::SetPt, "setpoint", outcome_.Before.SP, context_.SpResolution}}, 1);
  writes_.Tick(clock_(), FailTime());
}

void TuningSession::Abort(const std::string& reason) {
  if (stage_ == SessionStage::Restoring) {
    Finish(SessionStage::Stopped, outcome_.StopReason + " The write-back was given up (" + reason + "). " +
                                      ControllerHolds());
    return;
  }
  if (!Running()) return;
  outcome_.StopReason = reason;
  Restore(true);
}

void TuningSession::RestoreOld() {
  if (stage_ != SessionStage::Done || !outcome_.Applied) return;
  ++gRunning;
  userRestore_ = true;
  Restore(true);
}

// The original setpoint (after a relay test, which never writes it, only
// when one was typed), the factors when any was written (or typed), K
// first: it takes a relay test's controller out of its on/off mode; and the
// hysteresis when it was written. The old factors alone when the user asked
// for them after the session.
void TuningSession::Restore(bool factors) {
  stage_ = SessionStage::Restoring;
  std::deque<SessionWrite> back = Originals(!userRestore_ && (!IsRelay() || spTouched_));
  if (!(factors && (factorsTouched_ || userRestore_))) {
    std::erase_if(back, [](const SessionWrite& w) { return w.What == "Kp" || w.What == "Ki" || w.What == "Kd"; });
  }
  if (userRestore_) std::erase_if(back, [](const SessionWrite& w) { return w.What == "hysteresis"; });
  writes_.Queue(std::move(back), kManyTries);
  if (portOpen_) writes_.Tick(clock_(), std::max(3.0 * context_.Poll, 1.0 / context_.TimeScale));
}

// What the session found in the controller: the setpoint when asked for,
// then K, Ki, Kd, and the hysteresis when the session wrote it.
std::deque<SessionWrite> TuningSession::Originals(bool setpoint) const {
  std::deque<SessionWrite> back;
  if (setpoint) back.push_back({ValueBox::SetPt, "setpoint", outcome_.Before.SP, context_.SpResolution});
  const FormFactors& f = outcome_.Before.Factors;
  back.push_back({ValueBox::K, "Kp", f.K, context_.Registers.Kp});
  back.push_back({ValueBox::Ki, "Ki", f.Ki, context_.Registers.Ki});
  back.push_back({ValueBox::Kd, "Kd", f.Kd, context_.Registers.Kd});
  if (hysTouched_) back.push_back({ValueBox::Hys, "hysteresis", outcome_.Before.Hys, context_.HysResolution});
  return back;
}

void TuningSession::Finish(SessionStage stage, std::string result) {
  if (Running()) --gRunning;
  // Nothing goes out after the session said it stopped.
  writes_.Withdraw();
  // A write-back that went through took the new factors out again.
  if (stage_ == SessionStage::Restoring && writes_.Idle()) outcome_.Applied = false;
  stage_ = stage;
  outcome_.Ended = clock_();
  outcome_.Result = std::move(result);
}

void TuningSession::WriteSent(std::string_view what, double oldValue, double newValue) {
  recorder_.WriteSent(what, oldValue, newValue);
  if (!Running()) return;
  const double now = clock_();
  const bool ours = writes_.Sent(what, newValue, now) == SessionWrites::Seen::Ours;
  const bool firstFactor = what != "setpoint" && !factorsTouched_;
  const bool firstHys = what == "hysteresis" && !hysTouched_;
  if (what != "setpoint") factorsTouched_ = true;
  if (what == "hysteresis") hysTouched_ = true;
  if (what == "setpoint") spTouched_ = true;
  if (!ours) {
    if (stage_ != SessionStage::Restoring) {
      Abort(TuningText("A write was typed by hand during the session (%s %.4g).", std::string(what).c_str(), newValue));
    } else {
      Restore(true);  // typed during the write-back: written back as well
    }
    return;
  }
  // A factor handed over before an abort went out during the write-back:
  // the factors are written back as well.
  if (stage_ == SessionStage::Restoring && (firstFactor || firstHys)) Restore(true);
  if (stage_ == SessionStage::Relay) {
    if (what == "Kp") outcome_.RelayTime = now;
    // The cycles are judged with the hysteresis as the register holds it.
    if (what == "hysteresis") outcome_.Plan.Hysteresis = newValue;
  }
  if (what == "setpoint" && (stage_ == SessionStage::Step1 || stage_ == SessionStage::Applying)) {
    if (stage_ == SessionStage::Applying) {
      stage_ = SessionStage::Step2;
      outcome_.Applied = true;
      outcome_.Step2Time = now;
    }
    if (stage_ == SessionStage::Step1) outcome_.Step1Time = now;
    stepTime_ = now;
    t63_.reset();
  }
}

void TuningSession::WriteAnswered(const std::string& text) { recorder_.WriteAnswered(text); }

void TuningSession::ReplyChecked(std::int32_t result, bool write) {
  if (result == PollResult::Pending || (result > PollResult::PacketTooLong && result <= PollResult::ExceptionReply)) {
    return;  // a piece still arriving
  }
  const bool ok = result == PollResult::DataOk;
  if (ok) lastGood_ = clock_();
  else if (!write) lastBad_ = clock_();
  if (!write) return;
  const bool accepted = writes_.Answered(ok);
  if (!accepted && Running() && stage_ != SessionStage::Restoring) {
    Abort("The controller refused a write of the session.");
  }
}

void TuningSession::WriteRefused(std::string_view what, const std::string& reason) {
  recorder_.WriteRefused(what, reason);
  if (!Running()) return;
  writes_.Refused();
  if (stage_ != SessionStage::Restoring) Abort("The write of the " + std::string(what) + " was refused: " + reason);
}

std::string TuningSession::ControllerHolds() const {
  std::string text = "In the controller now:";
  const FormFactors& f = outcome_.Before.Factors;
  const std::pair<const char*, double> originals[] = {
      {"setpoint", outcome_.Before.SP}, {"Kp", f.K}, {"Ki", f.Ki}, {"Kd", f.Kd}, {"hysteresis", outcome_.Before.Hys}};
  const char* sep = " ";
  for (const auto& [what, original] : originals) {
    if (std::string_view(what) == "hysteresis" && !hysTouched_) continue;
    double value = original;
    std::optional<double> unsure;
    const auto it = writes_.Values().find(what);
    if (it != writes_.Values().end()) {
      if (it->second.Confirmed) value = *it->second.Confirmed;
      unsure = it->second.Unsure;
    }
    text += TuningText("%s%s %.6g", sep, what, value);
    if (unsure && *unsure != value) text += TuningText(" (or %.6g, if the last write arrived)", *unsure);
    sep = ", ";
  }
  return text + ".";
}

}  // namespace korvane
