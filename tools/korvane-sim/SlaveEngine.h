#pragma once
// The simulator's line logic without any device: received bytes go through
// the framer to the controller's Modbus handling, replies through the fault
// plan into a queue of timed output chunks. The caller owns the clock and the
// device, so tests drive it with simulated time.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ControllerDevice.h"
#include "Faults.h"
#include "Framer.h"

namespace korvane::sim {

class SlaveEngine {
 public:
  SlaveEngine(ControllerDevice& device, Framer& framer, FaultPlan& faults, std::uint8_t slave,
              Millis gapMs);

  void Receive(std::string_view bytes, Millis now);
  // Runs the framer's silence deadline when it has passed.
  void Expire(Millis now);

  // Output due at or before `now`, in order; removed from the queue.
  std::string TakeDue(Millis now);
  // Earliest time something is due: the next output or the framer's deadline.
  std::optional<Millis> NextEvent() const;

  // A vanish fault struck: the caller closes the device.
  bool Vanished() const { return vanished_; }

  std::uint64_t Requests() const { return requests_; }
  std::uint64_t Replies() const { return replies_; }

  // Optional trace of each request and reply (wire bytes in hex).
  std::function<void(const std::string&)> Trace;

 private:
  void Handle(const std::string& body, Millis now);

  ControllerDevice& device_;
  Framer& framer_;
  FaultPlan& faults_;
  std::uint8_t slave_;
  Millis gapMs_;
  std::deque<Chunk> outbox_;  // kept in order of due time
  bool vanished_ = false;
  std::uint64_t requests_ = 0;
  std::uint64_t replies_ = 0;
};

std::string Hex(std::string_view bytes);

}  // namespace korvane::sim
