#include "rules/FormConversion.h"

#include <cmath>

#include "identify/TuningText.h"

namespace korvane {
namespace {

bool Usable(const PidForm& form, std::string& refusal) {
  if (form.Unusable.empty()) return true;
  refusal = "The preset's " + form.Unusable + " is not one Korvane can convert (K: %, units or gain; Ki: rep/min, "
            "1/min, 1/s, s or min; Kd: s or min; Form: ideal or series): the tuning proposes nothing.";
  return false;
}

bool SpanKnown(const PidForm& form, double span, std::string& refusal) {
  if (form.K != ProportionalUnit::BandUnits || (std::isfinite(span) && span > 0.0)) return true;
  refusal = "Enter the controller's input span (high - low, above 0): the band in PV units is a share of it.";
  return false;
}

// Integral time in seconds of a rate in repeats per minute, and back; 0 for none.
double TimeOfRate(double perMinute) { return perMinute > 0.0 ? 60.0 / perMinute : 0.0; }

}  // namespace

bool ToForm(const ControllerFactors& ideal, const PidForm& form, double span, FormFactors& held,
            std::string& refusal) {
  if (!Usable(form, refusal) || !SpanKnown(form, span, refusal)) return false;
  if (!(std::isfinite(ideal.Band) && std::isfinite(ideal.Ki) && std::isfinite(ideal.Kd)) || ideal.Band < 0.0 ||
      ideal.Ki < 0.0 || ideal.Kd < 0.0) {
    refusal = "The factors are not finite and at least 0.";
    return false;
  }
  // The rate is carried as such where no integral time is needed, so the
  // default form converts without a rounding of its own.
  double band = ideal.Band, rate = ideal.Ki, td = ideal.Kd;
  if (form.Series && rate > 0.0 && td > 0.0) {
    const double ti = TimeOfRate(rate), share = 4.0 * td / ti;
    if (share > 1.0) {
      refusal = TuningText("The ideal factors (Ti %.4g s under 4 \u00d7 Td %.4g s) have no series form.", ti, td);
      return false;
    }
    const double s = std::sqrt(1.0 - share);
    band = band * 2.0 / (1.0 + s);
    td = ti * (1.0 - s) / 2.0;
    rate = TimeOfRate(ti * (1.0 + s) / 2.0);
  }
  switch (form.K) {
    case ProportionalUnit::BandPercent: held.K = band; break;
    case ProportionalUnit::BandUnits: held.K = band * span / 100.0; break;
    case ProportionalUnit::Gain: held.K = band > 0.0 ? 100.0 / band : 0.0; break;
  }
  switch (form.Ki) {
    case IntegralUnit::RepeatsPerMinute: held.Ki = rate; break;
    case IntegralUnit::RepeatsPerSecond: held.Ki = rate / 60.0; break;
    case IntegralUnit::TimeSeconds: held.Ki = TimeOfRate(rate); break;
    case IntegralUnit::TimeMinutes: held.Ki = TimeOfRate(rate) / 60.0; break;
  }
  held.Kd = form.Kd == DerivativeUnit::Minutes ? td / 60.0 : td;
  return true;
}

bool FromForm(const FormFactors& held, const PidForm& form, double span, ControllerFactors& ideal,
              std::string& refusal) {
  if (!Usable(form, refusal) || !SpanKnown(form, span, refusal)) return false;
  if (!(std::isfinite(held.K) && std::isfinite(held.Ki) && std::isfinite(held.Kd)) || held.K < 0.0 ||
      held.Ki < 0.0 || held.Kd < 0.0) {
    refusal = TuningText("The controller's factors (%.4g, %.4g, %.4g) are not finite and at least 0.", held.K,
                          held.Ki, held.Kd);
    return false;
  }
  double band = 0.0, rate = 0.0;
  switch (form.K) {
    case ProportionalUnit::BandPercent: band = held.K; break;
    case ProportionalUnit::BandUnits: band = held.K * 100.0 / span; break;
    case ProportionalUnit::Gain: band = held.K > 0.0 ? 100.0 / held.K : 0.0; break;
  }
  switch (form.Ki) {
    case IntegralUnit::RepeatsPerMinute: rate = held.Ki; break;
    case IntegralUnit::RepeatsPerSecond: rate = held.Ki * 60.0; break;
    case IntegralUnit::TimeSeconds: rate = TimeOfRate(held.Ki); break;
    case IntegralUnit::TimeMinutes: rate = TimeOfRate(held.Ki * 60.0); break;
  }
  double td = form.Kd == DerivativeUnit::Minutes ? held.Kd * 60.0 : held.Kd;
  if (form.Series && rate > 0.0 && td > 0.0) {
    const double ti = TimeOfRate(rate), sum = ti + td;
    band = band / (1.0 + td / ti);
    rate = TimeOfRate(sum);
    td = ti * td / sum;
  }
  ideal = {band, rate, td};
  return true;
}

ControllerFactors IdealOrUnknown(const FormFactors& held, const PidForm& form, double span) {
  ControllerFactors ideal;
  std::string refusal;
  return FromForm(held, form, span, ideal, refusal) ? ideal : ControllerFactors{};
}

std::array<FactorLabel, 3> FactorLabels(const PidForm& form) {
  std::array<FactorLabel, 3> labels;
  switch (form.K) {
    case ProportionalUnit::BandPercent: labels[0] = {"Kp (band)", "%"}; break;
    case ProportionalUnit::BandUnits: labels[0] = {"Kp (band)", "units"}; break;
    case ProportionalUnit::Gain: labels[0] = {"Kp (gain)", ""}; break;
  }
  switch (form.Ki) {
    case IntegralUnit::RepeatsPerMinute: labels[1] = {"Ki", "repeats/min"}; break;
    case IntegralUnit::RepeatsPerSecond: labels[1] = {"Ki", "repeats/s"}; break;
    case IntegralUnit::TimeSeconds: labels[1] = {"Ki (integral time)", "s"}; break;
    case IntegralUnit::TimeMinutes: labels[1] = {"Ki (integral time)", "min"}; break;
  }
  labels[2] = {"Kd", form.Kd == DerivativeUnit::Minutes ? "min" : "s"};
  return labels;
}

std::string FactorsText(const FormFactors& factors, const PidForm& form) {
  const std::array<FactorLabel, 3> labels = FactorLabels(form);
  const double values[] = {factors.K, factors.Ki, factors.Kd};
  std::string text;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    text += (i == 0 ? "" : ", ") + labels[i].Name + TuningText(" %.4g", values[i]) +
            (labels[i].Unit.empty() ? "" : " " + labels[i].Unit);
  }
  return text;
}

std::string FormName(const PidForm& form) {
  static constexpr const char* kK[] = {"band in % of the span", "band in PV units", "gain (output % per % of span)"};
  static constexpr const char* kKi[] = {"repeats/min", "repeats/s", "integral time in s", "integral time in min"};
  return std::string(form.Series ? "series" : "ideal") + " form: Kp as " + kK[static_cast<int>(form.K)] +
         ", Ki as " + kKi[static_cast<int>(form.Ki)] + ", Kd in " +
         (form.Kd == DerivativeUnit::Minutes ? "min" : "s");
}

}  // namespace korvane
