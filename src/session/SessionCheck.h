#pragma once
// What a one-button tuning session needs before it may write anything: a
// port that polls without errors, the span, a loop at rest (PV inside the
// settling band of its setpoint and the output off its limits for a while,
// judged from the record) and a step the output can follow. Each missing
// piece is named; an empty list means the session may start.

#include <span>
#include <string>
#include <vector>

#include "identify/TuningSample.h"
#include "rules/SimcTuning.h"

namespace korvane {

// How the session learns the process: a setpoint step under the present
// factors, or a relay test: the controller's own on/off mode (K 0) with a
// hysteresis around the unchanged setpoint, until PV swings steadily.
enum class SessionKind { Step, Relay };

// What the user asks for: the step (or the relay's hysteresis), the PV
// limits outside which the session aborts, the longest time it may take
// (chart seconds, waiting for the user's answer not counted), the rule, and
// whether the proposal is written without a second confirmation.
struct SessionPlan {
  SessionKind Kind = SessionKind::Step;
  double Step = 0.0;  // PV units, signed; not used by a relay test
  double Hysteresis = 0.0;  // PV units, the relay test's: it switches at SP +- Hysteresis
  double PvLow = 0.0, PvHigh = 0.0;
  double MaxTime = 600.0;
  std::string MaxTimeSource;  // where the offered longest time came from
  bool ApplyWithoutAsking = false;
  TuningChoice Choice;
};

// What the session works with besides the plan.
struct SessionContext {
  double SpanLow = 0.0, SpanHigh = 400.0;
  double TimeScale = 1.0;    // process seconds per chart second
  double Poll = 1.0;         // chart seconds between polls (as configured)
  double SpResolution = 1.0; // setpoint units per register count
  RegisterFactors Registers;  // with the controller's PID form
  double BandShare = 0.02;   // settling band, share of the step
  double PvResolution = 0.0; // PV units per register count
  // Hysteresis units per register count; 0 when the map has no hysteresis
  // register Korvane may write (no relay test then).
  double HysResolution = 0.0;
  double Span() const noexcept { return SpanHigh - SpanLow; }
};

// The loop as Korvane last read it.
struct LoopValues {
  double SP = 0.0, PV = 0.0, Out = 0.0;
  FormFactors Factors;  // as the controller holds them (SessionContext::Registers.Form)
  double Hys = 0.0;     // the hysteresis of its on/off mode, PV units
};

struct ReadinessInput {
  bool PortOpen = false;
  bool PollsClean = false;  // the latest polls were answered without errors
  bool SpanEntered = false;
  LoopValues Now;
  std::span<const TuningSample> Samples;  // the record, oldest first
};

// PV noise (SD) of samples at rest, from successive differences (a slow
// drift does not count); 0 for fewer than five.
double NoiseOf(const std::vector<TuningSample>& rest);
// How long the loop must have been at rest (chart s): at least ten polls and
// 20 process seconds.
double RestTime(const SessionContext& context);
// The plan the window offers: the step from the advice (a tenth of the span,
// at most the largest step the output can follow, towards the side with
// more room), the span as PV limits, and the longest time from `record`
// (the samples before the session, oldest first): four times the loop's
// last settling seen there (from the last setpoint change, or from the
// record's start, until PV last came into the settling band of its
// setpoint), else twenty integral times of the present Ki; never less than
// 600 process seconds nor 60 polls. MaxTimeSource says which.
SessionPlan DefaultPlan(const SessionContext& context, const LoopValues& now,
                        std::span<const TuningSample> record = {});
// The relay test's plan: the hysteresis from the PV noise at rest in
// `record` (three times its SD, at least two PV counts and one count of the
// hysteresis register, rounded up to that count), the span as PV limits and
// the longest time as DefaultPlan gives it.
SessionPlan DefaultRelayPlan(const SessionContext& context, const LoopValues& now,
                             std::span<const TuningSample> record = {});
// Why no relay test is offered for this controller (no hysteresis register
// to write), or empty.
std::string RelayUnavailable(const SessionContext& context);
// What is missing, one sentence each.
std::vector<std::string> CheckReadiness(const ReadinessInput& input, const SessionPlan& plan,
                                        const SessionContext& context);

}  // namespace korvane
