#pragma once
// A first-order-plus-dead-time process: the plant the simulated controller
// drives. Input is the controller output in percent; the state moves toward
// Ambient + Gain x input with time constant TimeConstant, after DeadTime.

#include <cstdint>
#include <deque>
#include <random>

namespace korvane::sim {

struct ProcessParams {
  double Gain = 1.5;           // engineering units per percent of output (100 % reaches ambient + 150)
  double TimeConstant = 60.0;  // seconds
  double DeadTime = 3.0;       // seconds
  double Ambient = 20.0;       // value with the output at 0 %
  double Noise = 0.3;          // standard deviation of the measurement noise
  std::uint32_t Seed = 1;
};

class ProcessModel {
 public:
  // Step length of the simulation in seconds; dead time is rounded to whole steps.
  static constexpr double kStep = 0.1;

  explicit ProcessModel(const ProcessParams& params);

  // Advances the process by one step with the given controller output (percent).
  void Step(double outputPercent);

  // The process value without noise, and as the sensor reads it.
  double Value() const { return value_; }
  double Measured();

  // Where the value settles for a constant output.
  double SteadyState(double outputPercent) const;

  const ProcessParams& Params() const { return params_; }

 private:
  ProcessParams params_;
  double value_;
  double alpha_;               // 1 - exp(-step / time constant)
  std::deque<double> delay_;   // outputs still travelling through the dead time
  std::mt19937 random_;
  std::normal_distribution<double> noise_;
};

}  // namespace korvane::sim
