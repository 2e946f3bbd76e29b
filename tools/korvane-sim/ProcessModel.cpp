#include "ProcessModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace korvane::sim {

ProcessModel::ProcessModel(const ProcessParams& params)
    : params_(params),
      value_(params.Ambient),
      lag_(params.Ambient),
      alpha_(params.TimeConstant > 0 ? 1.0 - std::exp(-kStep / params.TimeConstant) : 1.0),
      alpha2_(params.SecondLag > 0 ? 1.0 - std::exp(-kStep / params.SecondLag) : 1.0),
      delay_(static_cast<std::size_t>(std::lround(std::max(0.0, params.DeadTime) / kStep)), 0.0),
      random_(params.Seed),
      noise_(0.0, std::max(0.0, params.Noise)) {}

void ProcessModel::Step(double outputPercent) {
  double input = outputPercent;
  if (!delay_.empty()) {
    delay_.push_back(outputPercent);
    input = delay_.front();
    delay_.pop_front();
  }
  if (params_.Integrating) {
    value_ += params_.Gain * (input - params_.Balance) * kStep;
    return;
  }
  // Exact discretisation of dx/dt = (target - x) / T for a constant input over the step.
  lag_ += alpha_ * (SteadyState(input) - lag_);
  value_ += alpha2_ * (lag_ - value_);
}

std::string ProcessModel::Describe() const {
  char text[200];
  if (params_.Integrating) {
    std::snprintf(text, sizeof text, "process integrating: %g units/s per %% off a balance of %g %%, dead time %g s",
                  params_.Gain, params_.Balance, params_.DeadTime);
  } else if (params_.SecondLag > 0) {
    std::snprintf(text, sizeof text, "process second order: gain %g units/%%, lags %g s and %g s, dead time %g s",
                  params_.Gain, params_.TimeConstant, params_.SecondLag, params_.DeadTime);
  } else {
    std::snprintf(text, sizeof text, "process first order: gain %g units/%%, time constant %g s, dead time %g s",
                  params_.Gain, params_.TimeConstant, params_.DeadTime);
  }
  return text;
}

double ProcessModel::Measured() {
  if (params_.Noise <= 0) return value_;
  return value_ + noise_(random_);
}

double ProcessModel::SteadyState(double outputPercent) const {
  return params_.Ambient + params_.Gain * outputPercent;
}

}  // namespace korvane::sim
