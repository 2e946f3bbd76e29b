#pragma once
// The plant the simulated controller drives. Input is the controller output
// in percent, delayed by DeadTime. A self-regulating process (the default)
// moves toward Ambient + Gain x input with time constant TimeConstant, then
// through a second lag SecondLag when that is above 0. An integrating one
// (a level) changes at Gain units per second per percent of the output's
// distance from Balance, with no steady state of its own.

#include <cstdint>
#include <deque>
#include <random>
#include <string>

namespace korvane::sim {

struct ProcessParams {
  double Gain = 1.5;           // engineering units per percent of output (100 % reaches ambient + 150)
  double TimeConstant = 60.0;  // seconds
  double DeadTime = 3.0;       // seconds
  double Ambient = 20.0;       // value with the output at 0 %
  double Noise = 0.3;          // standard deviation of the measurement noise
  double SecondLag = 0.0;      // seconds, 0: none
  bool Integrating = false;    // Gain is then units per second per percent off Balance
  double Balance = 50.0;       // percent output that holds an integrating process still
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

  // Where the value settles for a constant output (self-regulating).
  double SteadyState(double outputPercent) const;

  // The process's true parameters in one line, for the start-up message.
  std::string Describe() const;

  const ProcessParams& Params() const { return params_; }

 private:
  ProcessParams params_;
  double value_;
  double lag_;                 // the first lag's output (the value when there is no second lag)
  double alpha_;               // 1 - exp(-step / time constant)
  double alpha2_;              // 1 - exp(-step / second lag)
  std::deque<double> delay_;   // outputs still travelling through the dead time
  std::mt19937 random_;
  std::normal_distribution<double> noise_;
};

}  // namespace korvane::sim
