#pragma once
// The controllers on the simulator's line. Each has its own slave address,
// its own device (register map, PID factors, process) and its own faults;
// its process stands still until a request addressed to it (or a broadcast)
// arrives, unless the line was started with --start-now.

#include <cstdint>
#include <vector>

#include "ControllerDevice.h"
#include "Faults.h"

namespace korvane::sim {

// One controller as the command line describes it.
struct ControllerSetup {
  int Address = 1;
  DeviceParams Device;
  std::vector<Fault> Faults;
};

// A controller as the line logic and the stdin commands see it: its
// address, its device and its faults, owned elsewhere.
struct SimUnit {
  std::uint8_t Address = 1;
  ControllerDevice* Device = nullptr;
  FaultPlan* Faults = nullptr;
};

// A controller the program owns, with its process clock.
class SimController {
 public:
  SimController(const ControllerSetup& setup, bool startNow);
  SimController(const SimController&) = delete;
  SimController& operator=(const SimController&) = delete;

  // Runs the process for `seconds` of process time if it runs already; then
  // it runs from now on if the controller has been asked (`asked`).
  void Tick(double seconds, bool asked);
  bool Running() const { return running_; }

  std::uint8_t Address() const { return address_; }
  ControllerDevice& Device() { return device_; }
  const ControllerDevice& Device() const { return device_; }
  FaultPlan& Faults() { return faults_; }
  const FaultPlan& Faults() const { return faults_; }
  SimUnit Unit() { return {address_, &device_, &faults_}; }

 private:
  std::uint8_t address_;
  ControllerDevice device_;
  FaultPlan faults_;
  bool running_;
};

}  // namespace korvane::sim
