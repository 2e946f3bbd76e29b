#include "SimUnit.h"

namespace korvane::sim {

SimController::SimController(const ControllerSpec& spec, bool startNow)
    : address_(static_cast<std::uint8_t>(spec.Address)),
      device_(spec.Device),
      faults_(spec.Device.Process.Seed),
      running_(startNow) {
  for (const Fault& f : spec.Faults) faults_.Set(f);
}

void SimController::Tick(double seconds, bool asked) {
  if (running_) device_.Advance(seconds);
  running_ = running_ || asked;
}

}  // namespace korvane::sim
