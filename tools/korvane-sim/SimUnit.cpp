#include "SimUnit.h"

namespace korvane::sim {

SimController::SimController(const ControllerSetup& setup, bool startNow)
    : address_(static_cast<std::uint8_t>(setup.Address)),
      device_(setup.Device),
      faults_(setup.Device.Process.Seed),
      running_(startNow) {
  for (const Fault& f : setup.Faults) faults_.Set(f);
}

void SimController::Tick(double seconds, bool asked) {
  if (running_) device_.Advance(seconds);
  running_ = running_ || asked;
}

}  // namespace korvane::sim
