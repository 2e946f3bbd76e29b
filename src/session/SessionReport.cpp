#include "session/SessionReport.h"

#include <cmath>
#include <optional>

#include "base/SafeWrite.h"
#include "identify/TuningText.h"
#include "rules/FormConversion.h"

namespace korvane {
namespace {

std::string Num(std::optional<double> value) {
  return value && std::isfinite(*value) ? TuningText("%.4g", *value) : std::string();
}

// The model in process time, its times in `unit`.
std::string ModelLine(const FopdtModel& m, const std::string& unit) {
  // An integrator is its slope (K and tau stand for it together).
  const std::string process =
      m.Integrating ? TuningText("Model: integrating, PV's slope %.4g units/s per %% of output", m.Gain / m.TimeConstant)
                    : TuningText("Model: K %.4g \u00b1 %.2g units per %%, ", m.Gain, m.GainSpread) +
                          TuningText("\u03c4 %.4g \u00b1 %.2g", m.TimeConstant, m.TimeConstantSpread) + unit +
                          (m.SecondLag > 0.0 ? TuningText(", \u03c42 %.4g", m.SecondLag) + unit : std::string());
  return process +
         TuningText(", \u03b8 %.4g \u00b1 %.2g", m.DeadTime, m.DeadTimeSpread) + unit +
         TuningText(" (about 95 %%), R\u00b2 %.3f, a poll every %.3g", m.Fit, m.Sampling) + unit + "; " +
         FitVerdict(m) + "." + (m.Why.empty() ? std::string() : " Model picked: " + m.Why + ".");
}

}  // namespace

std::vector<FigureRow> FigureRows(const SessionOutcome& o, double scale) {
  std::optional<StepResponseFigures> before, after;
  if (o.Step1) before = InProcessTime(*o.Step1, scale);
  if (o.Step2) after = InProcessTime(*o.Step2, scale);
  const std::optional<StepResponseFigures>& predicted = o.Predicted;  // already in process time
  struct Pick {
    const char* Name;
    std::optional<double> (*Get)(const StepResponseFigures&);
  };
  const Pick picks[] = {
      {"Rise time (s)", [](const StepResponseFigures& f) { return f.RiseTime; }},
      {"Overshoot (%)", [](const StepResponseFigures& f) { return f.Overshoot; }},
      {"Settling time (s)", [](const StepResponseFigures& f) { return f.SettlingTime; }},
      {"Steady-state error", [](const StepResponseFigures& f) { return f.SteadyStateError; }},
      {"IAE (units x s)", [](const StepResponseFigures& f) { return std::optional<double>(f.Iae); }},
      {"Peak output (%)", [](const StepResponseFigures& f) { return f.PeakOutput; }},
  };
  std::vector<FigureRow> rows;
  for (const Pick& p : picks) {
    rows.push_back({p.Name, before ? Num(p.Get(*before)) : "", after ? Num(p.Get(*after)) : "",
                    predicted ? Num(p.Get(*predicted)) : ""});
  }
  return rows;
}

std::string FiguresCsv(const SessionOutcome& outcome, double scale) {
  std::string text = "figure,before (step 1),after (step 2),predicted\n";
  for (const FigureRow& r : FigureRows(outcome, scale)) {
    text += r.Name + "," + r.Before + "," + r.After + "," + r.Predicted + "\n";
  }
  return text;
}

void SaveFiguresCsv(const std::string& path, const SessionOutcome& outcome, double scale) {
  ReplaceFileContents(path, FiguresCsv(outcome, scale));
}

std::vector<std::string> RelayLines(const SessionOutcome& o, const SessionContext& c) {
  std::vector<std::string> lines;
  if (o.Plan.Kind != SessionKind::Relay || !o.Relay) return lines;
  const RelayCycles& r = *o.Relay;
  const double scale = c.TimeScale;
  const std::string unit = scale == 1.0 ? " s" : " s (process)";
  lines.push_back(TuningText("Relay test: the output switched between %.3g and %.3g %% (d %.3g %%) %zu times; ",
                             r.Low, r.High, r.D, r.Switches.size()) +
                  TuningText("%zu steady periods: Pu %.4g", r.SteadyPeriods, r.Pu * scale) + unit +
                  TuningText(", PV swinging \u00b1%.4g (first harmonic \u00b1%.4g) with the hysteresis %.4g; ", r.A,
                             r.A1, r.H) +
                  TuningText("Ku %.4g %% per unit; PV turned %.3g", r.Ku, r.Delay * scale) + unit +
                  TuningText(" (\u00b1%.2g) after each switch.", r.DelaySpread * scale) +
                  (o.ModelUltimate && o.ModelUltimate->Ok
                       ? TuningText(" The model's ultimate point (phase -180\u00b0, where the relay's hysteresis does "
                                    "not let it swing): Ku %.4g %% per unit, Pu %.4g",
                                    o.ModelUltimate->Ku, o.ModelUltimate->Pu) + unit + "."
                       : std::string()));
  if (o.RelayFactors && o.RelayFactors->Ok && o.Agreement) {
    const RelayTuning& t = *o.RelayFactors;
    std::string line = "Cross-check, not applied: " + t.Rule +
                       TuningText(" gives Kc %.3g %%/unit, Ti %.4g", t.Kc, t.Ti) + unit +
                       (t.Td > 0.0 ? TuningText(", Td %.3g", t.Td) + unit : std::string()) + "; ";
    line += o.Agreement->Agree
                ? TuningText("the model's proposal lies within a factor of two (Kc %.2g times, Ti %.2g times).",
                             o.Agreement->KcRatio, o.Agreement->TiRatio)
                : o.Agreement->Why;
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::vector<std::string>> RelayCycleRows(const SessionOutcome& o, double scale) {
  std::vector<std::vector<std::string>> rows;
  if (o.Plan.Kind != SessionKind::Relay || !o.Relay) return rows;
  const RelayCycles& r = *o.Relay;
  rows.push_back({"Half cycle", "Output (%)", "Length (s)", "PV turn", "Turn after switch (s)", "Steady"});
  for (std::size_t k = 0; k < r.HalfPeriods.size(); ++k) {
    // The output's level in half cycle k: PV turns up from below the
    // setpoint while a heating output is high (down from above while low).
    const bool below = k < r.Turns.size() && r.Turns[k] < o.Before.SP;
    const bool high = below == r.Heating;
    rows.push_back({std::to_string(k + 1), k < r.Turns.size() ? Num(high ? r.High : r.Low) : "",
                    Num(r.HalfPeriods[k] * scale),
                    k < r.Turns.size() ? Num(r.Turns[k]) : "",
                    k < r.TurnTimes.size() ? Num((r.TurnTimes[k] - r.Switches[k]) * scale) : "",
                    k >= r.SteadyFrom ? "yes" : ""});
  }
  return rows;
}

std::vector<std::string> ReportLines(const SessionOutcome& o, const SessionContext& c) {
  std::vector<std::string> lines;
  if (o.Plan.Kind == SessionKind::Relay) {
    lines.push_back(TuningText("Span %.6g to %.6g; relay test with the hysteresis %.4g around the setpoint %.6g; PV "
                               "limits %.6g to %.6g.",
                               c.SpanLow, c.SpanHigh, o.Plan.Hysteresis, o.Before.SP, o.Plan.PvLow, o.Plan.PvHigh));
  } else {
    lines.push_back(TuningText("Span %.6g to %.6g; step %+.4g from setpoint %.6g; PV limits %.6g to %.6g.", c.SpanLow,
                               c.SpanHigh, o.Plan.Step, o.Before.SP, o.Plan.PvLow, o.Plan.PvHigh));
  }
  for (std::string& line : RelayLines(o, c)) lines.push_back(std::move(line));
  if (o.Model && o.Model->Ok) {
    lines.push_back(ModelLine(InProcessTime(o.Model->Model, c.TimeScale), " s"));
  } else if (o.Model) {
    lines.push_back("No model: " + o.Model->Refusal);
  }
  if (o.Proposed) lines.push_back("Rule: " + o.Proposed->Rule + ".");
  const PidForm& form = c.Registers.Form;
  lines.push_back("Controller: " + FormName(form) + ".");
  lines.push_back("Factors before: " + FactorsText(o.Before.Factors, form) + ".");
  if (o.Proposed) {
    lines.push_back("Factors proposed: " + FactorsText(o.Proposed->HeldInForm, form) +
                    TuningText(" (gain margin %.2g, phase margin %.2g\u00b0)", o.Proposed->GainMargin,
                                o.Proposed->PhaseMargin) +
                    (o.Applied ? "; in the controller now." : "; not in the controller."));
  }
  if (!o.StopReason.empty()) lines.push_back("Stopped early: " + o.StopReason);
  if (!o.Result.empty()) lines.push_back(o.Result);
  return lines;
}

std::vector<std::string> ApprovalLines(const SessionOutcome& o, const SessionContext& c) {
  std::vector<std::string> lines;
  if (!o.Model || !o.Model->Ok || !o.Proposed) return lines;
  const std::string unit = c.TimeScale == 1.0 ? " s" : " s (process)";
  const FopdtModel m = InProcessTime(o.Model->Model, c.TimeScale);
  for (std::string& line : RelayLines(o, c)) lines.push_back(std::move(line));
  lines.push_back(ModelLine(m, unit));
  const std::string doubt = ModelDoubt(m, false);
  if (!doubt.empty() && doubt != FitVerdict(m)) lines.push_back("Trust the model with care: " + doubt + ".");
  lines.push_back(o.Proposed->Rule + TuningText("; gain margin %.2g, phase margin %.2g\u00b0.", o.Proposed->GainMargin,
                                                 o.Proposed->PhaseMargin));
  const PidForm& form = c.Registers.Form;
  lines.push_back("Proposed: " + FactorsText(o.Proposed->HeldInForm, form) + " (now " +
                  FactorsText(o.Before.Factors, form) + ")" +
                  (form == PidForm{} ? std::string(".") : "; " + FormName(form) + "."));
  if (!o.VerifyNote.empty()) lines.push_back(o.VerifyNote);
  if (o.Predicted) {
    const StepResponseFigures& p = *o.Predicted;
    auto known = [&](const std::optional<double>& v, const std::string& u) {
      return v ? TuningText("%.3g", *v) + u : std::string("not known");
    };
    const bool relay = o.Plan.Kind == SessionKind::Relay;
    const double step = relay ? o.PredictedStep : o.VerifyStep;
    lines.push_back(TuningText(relay ? "Under the new factors a setpoint step of %+.4g is predicted to answer: rise "
                                     : "Step 2 predicted (a step of %+.4g): rise ",
                               step) +
                    known(p.RiseTime, unit) +
                    ", overshoot " + known(p.Overshoot, " %") + ", settling " + known(p.SettlingTime, unit) +
                    // An offset under a thousandth of the step is the simulation's rounding: 0.
                    ", offset " +
                    known(p.SteadyStateError && std::fabs(*p.SteadyStateError) < 1e-3 * std::fabs(step)
                              ? std::optional<double>(0.0)
                              : p.SteadyStateError,
                          "") +
                    TuningText(", IAE %.4g over ", p.Iae) +
                    TuningText(p.Elapsed >= 100.0 ? "%.0f" : "%.3g", p.Elapsed) + unit + ", peak output " +
                    known(p.PeakOutput, " %") + ".");
  }
  return lines;
}

std::vector<StepPlot> StepPlots(const SessionOutcome& o, const std::vector<TuningSample>& samples, double scale) {
  std::vector<StepPlot> plots;
  auto take = [&](const char* title, double from, double to) {
    StepPlot plot;
    plot.Title = title;
    for (const TuningSample& s : samples) {
      if (s.Time >= from - 0.1 * (to - from) && s.Time <= to) {
        plot.Record.push_back({(s.Time - from) * scale, s.SP, s.PV, s.Out});
      }
    }
    plots.push_back(std::move(plot));
  };
  const double end = samples.empty() ? 0.0 : samples.back().Time;
  if (std::isfinite(o.RelayTime)) {
    take("Relay test: the controller on/off around the setpoint", o.RelayTime,
         std::isfinite(o.RelayEnd) ? o.RelayEnd : end);
    plots.back().Axis = "process seconds from K 0 (the relay's start)";
  }
  if (std::isfinite(o.Step1Time)) take("Step 1: present factors", o.Step1Time, std::isfinite(o.Step2Time) ? o.Step2Time : end);
  if (std::isfinite(o.Step2Time)) {
    take("Step 2: new factors (prediction dashed)", o.Step2Time, end);
    const double top = plots.back().Record.empty() ? 0.0 : plots.back().Record.back().Time;
    for (const TuningSample& s : o.PredictedCurve) {
      if (s.Time > top) break;
      plots.back().Predicted.push_back({s.Time, 0.0, o.Before.SP + o.Plan.Step + s.PV, s.Out});
    }
  }
  return plots;
}

}  // namespace korvane
