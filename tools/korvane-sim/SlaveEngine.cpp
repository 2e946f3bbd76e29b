#include "SlaveEngine.h"

#include <algorithm>

#include "SlaveProtocol.h"

namespace korvane::sim {

std::string Hex(std::string_view bytes) {
  static const char* const digits = "0123456789ABCDEF";
  std::string out;
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (!out.empty()) out.push_back(' ');
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 0x0F]);
  }
  return out;
}

SlaveEngine::SlaveEngine(Framer& framer, Millis gapMs) : framer_(framer), gapMs_(gapMs) {}

SlaveEngine::SlaveEngine(ControllerDevice& device, Framer& framer, FaultPlan& faults,
                         std::uint8_t slave, Millis gapMs)
    : framer_(framer), gapMs_(gapMs) {
  Add({slave, &device, &faults});
}

void SlaveEngine::Add(const SimUnit& unit) { units_.push_back({unit, 0}); }

std::uint64_t SlaveEngine::RequestsTo(std::uint8_t slave) const {
  for (const Unit& u : units_) {
    if (u.Controller.Address == slave) return u.Requests;
  }
  return 0;
}

void SlaveEngine::Receive(std::string_view bytes, Millis now) {
  for (const auto& body : framer_.Feed(bytes, now)) Handle(body, now);
}

void SlaveEngine::Expire(Millis now) {
  auto deadline = framer_.Deadline();
  if (!deadline || now < *deadline) return;
  for (const auto& body : framer_.Expire(now)) Handle(body, now);
}

void SlaveEngine::Handle(const std::string& body, Millis now) {
  if (vanished_) return;
  ++requests_;
  if (Trace) Trace("request " + Hex(body));
  const auto address = body.empty() ? std::uint8_t{0} : static_cast<std::uint8_t>(body[0]);
  if (address == 0) {
    // A broadcast: every controller carries it out, none answers.
    for (Unit& u : units_) {
      ++u.Requests;
      HandleRequest(*u.Controller.Device, u.Controller.Address, body);
    }
    framer_.NoReply();
    return;
  }
  auto unit = std::find_if(units_.begin(), units_.end(),
                           [&](const Unit& u) { return u.Controller.Address == address; });
  if (unit == units_.end()) {
    framer_.NoReply();  // nobody on the line has that address: silence, as on a real line
    return;
  }
  ++unit->Requests;
  Reply(*unit, body, now);
}

void SlaveEngine::Reply(Unit& unit, const std::string& body, Millis now) {
  const std::uint8_t slave = unit.Controller.Address;
  auto reply = HandleRequest(*unit.Controller.Device, slave, body);
  if (!reply) {
    framer_.NoReply();
    return;
  }
  ReplyPlan plan = unit.Controller.Faults->Next();
  if (plan.Vanish) {
    vanished_ = true;
    return;
  }
  if (plan.ExceptionCode > 0) {
    *reply = ExceptionBody(slave, static_cast<std::uint8_t>(body[1]),
                           static_cast<std::uint8_t>(plan.ExceptionCode));
  }
  // Answering as another address: the frame is built (CRC, LRC, MBAP) for the changed address.
  if (plan.AsAddress >= 0) (*reply)[0] = static_cast<char>(plan.AsAddress);
  std::string wire = framer_.Encode(*reply, plan.Corrupt);
  if (Trace) {
    Trace(plan.Send ? "reply " + Hex(wire) + (plan.Delay ? " (late " + std::to_string(plan.Delay) + " ms)" : "")
                    : std::string("reply dropped"));
  }
  if (plan.Send) ++replies_;
  for (auto& chunk : unit.Controller.Faults->Schedule(plan, wire, now, gapMs_)) {
    auto at = std::upper_bound(outbox_.begin(), outbox_.end(), chunk.Due,
                               [](Millis due, const Chunk& c) { return due < c.Due; });
    outbox_.insert(at, std::move(chunk));
  }
}

std::string SlaveEngine::TakeDue(Millis now) {
  std::string out;
  while (!outbox_.empty() && outbox_.front().Due <= now) {
    out += outbox_.front().Bytes;
    outbox_.pop_front();
  }
  return out;
}

std::optional<Millis> SlaveEngine::NextEvent() const {
  std::optional<Millis> next = framer_.Deadline();
  if (!outbox_.empty() && (!next || outbox_.front().Due < *next)) next = outbox_.front().Due;
  return next;
}

}  // namespace korvane::sim
