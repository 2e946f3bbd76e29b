#pragma once
// The simulator's line logic without any device: received bytes go through
// the framer to the Modbus handling of the controller they are addressed to,
// replies through that controller's fault plan into one queue of timed
// output chunks for the line. A request for an address no controller has
// gets no reply; a broadcast (address 0) reaches every controller and gets
// none. A late reply waits in the queue while the next requests are served.
// The caller owns the clock and the devices, so tests drive it with
// simulated time.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <vector>

#include "ControllerDevice.h"
#include "Faults.h"
#include "Framer.h"
#include "SimUnit.h"

namespace korvane::sim {

class SlaveEngine {
 public:
  // A line with no controller yet (see Add).
  SlaveEngine(Framer& framer, Millis gapMs);
  // A line with one controller at `slave`.
  SlaveEngine(ControllerDevice& device, Framer& framer, FaultPlan& faults, std::uint8_t slave,
              Millis gapMs);

  // Puts one more controller on the line (an address not on it yet).
  void Add(const SimUnit& unit);

  void Receive(std::string_view bytes, Millis now);
  // Runs the framer's silence deadline when it has passed.
  void Expire(Millis now);

  // Output due at or before `now`, in order; removed from the queue.
  std::string TakeDue(Millis now);
  // Earliest time something is due: the next output or the framer's deadline.
  std::optional<Millis> NextEvent() const;

  // A vanish fault struck: the caller closes the device.
  bool Vanished() const { return vanished_; }

  // Checked request frames of any address, and replies sent.
  std::uint64_t Requests() const { return requests_; }
  std::uint64_t Replies() const { return replies_; }
  // Requests addressed to the controller at `slave`, broadcasts included.
  std::uint64_t RequestsTo(std::uint8_t slave) const;

  // Optional trace of each request and reply (wire bytes in hex).
  std::function<void(const std::string&)> Trace;

 private:
  struct Unit {
    SimUnit Controller;
    std::uint64_t Requests = 0;
  };
  void Handle(const std::string& body, Millis now);
  void Reply(Unit& unit, const std::string& body, Millis now);

  std::vector<Unit> units_;
  Framer& framer_;
  Millis gapMs_;
  std::deque<Chunk> outbox_;  // kept in order of due time
  bool vanished_ = false;
  std::uint64_t requests_ = 0;
  std::uint64_t replies_ = 0;
};

std::string Hex(std::string_view bytes);

}  // namespace korvane::sim
