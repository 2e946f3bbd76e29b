#include "session/SessionCheck.h"

#include <algorithm>
#include <cmath>

#include "identify/TuningText.h"
#include "rules/FormConversion.h"

namespace korvane {

// PV noise from successive differences (a slow drift does not count).
double NoiseOf(const std::vector<TuningSample>& rest) {
  if (rest.size() < 5) return 0.0;
  double sum = 0.0;
  for (std::size_t i = 1; i < rest.size(); ++i) sum += (rest[i].PV - rest[i - 1].PV) * (rest[i].PV - rest[i - 1].PV);
  return std::sqrt(sum / static_cast<double>(rest.size() - 1) / 2.0);
}

double RestTime(const SessionContext& context) {
  return std::max(10.0 * context.Poll, 20.0 / context.TimeScale);
}

namespace {

// The settling band of a step of `step` at rest in `rest`.
double RestBand(const SessionContext& context, double step, const std::vector<TuningSample>& rest) {
  return std::max({context.BandShare * std::fabs(step), 2.0 * context.PvResolution, 3.0 * NoiseOf(rest)});
}

// Chart seconds from the loop's last upset (a setpoint change, or the
// record's start with PV away from its setpoint) until PV last came into
// the band; NaN when the record shows PV in the band throughout.
double LastSettling(std::span<const TuningSample> record, double band) {
  std::vector<TuningSample> usable;
  for (const TuningSample& s : record) {
    if (IsUsable(s)) usable.push_back(s);
  }
  std::size_t last = usable.size();  // the newest sample outside the band
  for (std::size_t i = usable.size(); i-- > 0;) {
    if (std::fabs(usable[i].PV - usable[i].SP) > band) {
      last = i;
      break;
    }
  }
  if (last + 1 >= usable.size()) return NAN;
  double from = usable.front().Time;
  for (std::size_t i = last; i > 0; --i) {
    if (usable[i].SP != usable[i - 1].SP) {
      from = usable[i].Time;
      break;
    }
  }
  return usable[last + 1].Time - from;
}

}  // namespace

SessionPlan DefaultPlan(const SessionContext& context, const LoopValues& now, std::span<const TuningSample> record) {
  SessionPlan plan;
  plan.PvLow = context.SpanLow;
  plan.PvHigh = context.SpanHigh;
  const bool up = now.Out <= 50.0;
  double step = 0.1 * context.Span();
  const ControllerFactors present = IdealOrUnknown(now.Factors, context.Registers.Form, context.Span());
  const double largest = LargestStep(now.Out, up, present, context.Span(), 0.0);
  if (std::isfinite(largest)) step = std::min(step, 0.8 * largest);
  const double room = up ? context.SpanHigh - now.SP : now.SP - context.SpanLow;
  step = std::min(step, 0.5 * std::max(room, 0.0));
  const double count = context.SpResolution > 0.0 ? context.SpResolution : 1.0;
  step = std::floor(step / count) * count;
  plan.Step = up ? step : -step;

  const double scale = context.TimeScale > 0.0 ? context.TimeScale : 1.0;
  const double least = std::max(600.0 / scale, 60.0 * context.Poll);
  std::vector<TuningSample> rest;
  for (auto it = record.rbegin(); it != record.rend() && rest.size() < 30; ++it) rest.push_back(*it);
  const double settling = LastSettling(record, RestBand(context, plan.Step, rest));
  // The integral time from the present Ki in the ideal figures (repeats per
  // minute), whatever unit the controller keeps it in.
  const double integral = present.Ki > 0.0 ? 60.0 / present.Ki / scale : NAN;
  if (std::isfinite(settling) && 4.0 * settling > least) {
    plan.MaxTime = 4.0 * settling;
    plan.MaxTimeSource = "four times the loop's last settling in the record (" +
                         ProcessSecondsText(settling, scale) + ")";
  } else if (!std::isfinite(settling) && std::isfinite(integral) && 20.0 * integral > least) {
    plan.MaxTime = 20.0 * integral;
    plan.MaxTimeSource = "twenty integral times of the present Ki (" + ProcessSecondsText(integral, scale) +
                         " each): the record shows no settling";
  } else {
    plan.MaxTime = least;
    plan.MaxTimeSource = "the shortest offered, 600 process seconds or 60 polls" +
                         (std::isfinite(settling) ? "; the loop's last settling took " + ProcessSecondsText(settling, scale)
                                                  : std::string("; the record shows no settling"));
  }
  plan.MaxTime = std::ceil(plan.MaxTime * scale / 10.0) * 10.0 / scale;  // whole tens of process seconds
  return plan;
}

SessionPlan DefaultRelayPlan(const SessionContext& context, const LoopValues& now,
                             std::span<const TuningSample> record) {
  SessionPlan plan = DefaultPlan(context, now, record);
  plan.Kind = SessionKind::Relay;
  plan.Step = 0.0;
  std::vector<TuningSample> rest;
  for (auto it = record.rbegin(); it != record.rend() && rest.size() < 30; ++it) {
    if (IsUsable(*it)) rest.push_back(*it);
  }
  double h = std::max(3.0 * NoiseOf(rest), 2.0 * context.PvResolution);
  const double count = context.HysResolution > 0.0 ? context.HysResolution : 0.0;
  if (count > 0.0) h = std::max(count, std::ceil(h / count - 1e-9) * count);
  plan.Hysteresis = h;
  return plan;
}

std::string RelayUnavailable(const SessionContext& context) {
  if (!(context.HysResolution > 0.0)) {
    return "The controller's register map names no hysteresis register Korvane may write: the relay test needs "
           "the controller's on/off mode and its hysteresis.";
  }
  return {};
}

namespace {

std::string RestProblem(const ReadinessInput& input, const SessionPlan& plan, const SessionContext& context) {
  const double need = RestTime(context);
  std::vector<TuningSample> rest;
  double newest = NAN;
  for (auto it = input.Samples.rbegin(); it != input.Samples.rend(); ++it) {
    if (!IsUsable(*it)) continue;
    if (std::isnan(newest)) newest = it->Time;
    if (it->Time < newest - need) break;
    rest.push_back(*it);
  }
  if (rest.size() < 5 || rest.front().Time - rest.back().Time < 0.9 * need) {
    return "The loop has not been watched long enough to know it is at rest: wait " +
           ProcessSecondsText(need, context.TimeScale) + " with the port polling.";
  }
  const double band = RestBand(context, plan.Step, rest);
  for (const TuningSample& s : rest) {
    if (s.SP != rest.front().SP) return "The setpoint changed in the last moments: wait until the loop is at rest.";
    if (std::fabs(s.PV - s.SP) > band) {
      return TuningText("The loop is not at rest: PV %.4g is %.3g units from the setpoint %.4g (the settling band is "
                    "\u00b1%.3g). Wait until it settles.", s.PV, s.PV - s.SP, s.SP, band);
    }
    if (s.Out <= 0.5 || s.Out >= 99.5) {
      return TuningText("The loop is not at rest: the output sat at %.4g %%, on a limit.", s.Out);
    }
  }
  return {};
}

}  // namespace

std::vector<std::string> CheckReadiness(const ReadinessInput& input, const SessionPlan& plan,
                                        const SessionContext& context) {
  std::vector<std::string> missing;
  if (!input.PortOpen) missing.emplace_back("The port is not open: open it and let it poll.");
  else if (!input.PollsClean) missing.emplace_back("The port does not poll without errors: the latest polls failed.");
  const bool spanOk = input.SpanEntered && std::isfinite(context.Span()) && context.Span() > 0.0;
  if (!spanOk) missing.emplace_back("Enter the controller's input span (Span low, Span high).");
  if (!(context.TimeScale > 0.0) || !(context.Poll > 0.0)) missing.emplace_back("The poll interval is not known.");
  const bool relay = plan.Kind == SessionKind::Relay;
  if (relay) {
    const std::string unavailable = RelayUnavailable(context);
    if (!unavailable.empty()) missing.push_back(unavailable);
    if (!std::isfinite(plan.Hysteresis) || !(plan.Hysteresis > 0.0)) {
      missing.emplace_back("Enter a hysteresis above 0.");
    }
  } else if (!std::isfinite(plan.Step) || plan.Step == 0.0) {
    missing.emplace_back("Enter a setpoint step other than 0.");
  }
  FormFactors unused;
  std::string formProblem;
  if (!context.Registers.Form.Unusable.empty()) {
    ToForm({}, context.Registers.Form, context.Span(), unused, formProblem);
    missing.push_back(formProblem);
  }
  if (!missing.empty()) return missing;

  if (relay) {
    const double low = input.Now.SP - plan.Hysteresis, high = input.Now.SP + plan.Hysteresis;
    if (!(plan.PvLow < plan.PvHigh) || input.Now.PV < plan.PvLow || input.Now.PV > plan.PvHigh || low < plan.PvLow ||
        high > plan.PvHigh) {
      missing.push_back(TuningText("The PV limits %.4g to %.4g must hold the present PV %.4g and the setpoint "
                                   "\u00b1 the hysteresis (%.4g to %.4g).",
                                   plan.PvLow, plan.PvHigh, input.Now.PV, low, high));
    }
    if (!(plan.MaxTime > 0.0)) missing.emplace_back("Enter the longest time the session may take.");
    const std::string rest = RestProblem(input, plan, context);
    if (!rest.empty()) missing.push_back(rest);
    return missing;
  }

  const double target = input.Now.SP + plan.Step;
  if (!(plan.PvLow < plan.PvHigh) || input.Now.PV < plan.PvLow || input.Now.PV > plan.PvHigh ||
      target < plan.PvLow || target > plan.PvHigh) {
    missing.push_back(TuningText("The PV limits %.4g to %.4g must hold the present PV %.4g and the new setpoint %.4g.",
                             plan.PvLow, plan.PvHigh, input.Now.PV, target));
  }
  if (target < context.SpanLow || target > context.SpanHigh) {
    missing.push_back(TuningText("The new setpoint %.4g lies outside the span %.4g to %.4g.", target, context.SpanLow,
                             context.SpanHigh));
  }
  const ControllerFactors present = IdealOrUnknown(input.Now.Factors, context.Registers.Form, context.Span());
  const double largest = LargestStep(input.Now.Out, plan.Step > 0.0, present, context.Span(), 0.0);
  if (std::isfinite(largest) && std::fabs(plan.Step) > largest) {
    missing.push_back(TuningText("A step of %.4g would drive the output onto a limit: from %.3g %% with the present "
                             "band, at most about %.3g units.", plan.Step, input.Now.Out, std::floor(largest)));
  }
  if (!(plan.MaxTime > 0.0)) missing.emplace_back("Enter the longest time the session may take.");
  const std::string rest = RestProblem(input, plan, context);
  if (!rest.empty()) missing.push_back(rest);
  return missing;
}

}  // namespace korvane
