#include "ProcessModel.h"

#include <algorithm>
#include <cmath>

namespace korvane::sim {

ProcessModel::ProcessModel(const ProcessParams& params)
    : params_(params),
      value_(params.Ambient),
      alpha_(params.TimeConstant > 0 ? 1.0 - std::exp(-kStep / params.TimeConstant) : 1.0),
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
  // Exact discretisation of dx/dt = (target - x) / T for a constant input over the step.
  value_ += alpha_ * (SteadyState(input) - value_);
}

double ProcessModel::Measured() {
  if (params_.Noise <= 0) return value_;
  return value_ + noise_(random_);
}

double ProcessModel::SteadyState(double outputPercent) const {
  return params_.Ambient + params_.Gain * outputPercent;
}

}  // namespace korvane::sim
