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

SlaveEngine::SlaveEngine(ControllerDevice& device, Framer& framer, FaultPlan& faults,
                         std::uint8_t slave, Millis gapMs)
    : device_(device), framer_(framer), faults_(faults), slave_(slave), gapMs_(gapMs) {}

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
  auto reply = HandleRequest(device_, slave_, body);
  if (!reply) return;
  ReplyPlan plan = faults_.Next();
  if (plan.Vanish) {
    vanished_ = true;
    return;
  }
  if (plan.ExceptionCode > 0) {
    *reply = ExceptionBody(slave_, static_cast<std::uint8_t>(body[1]),
                           static_cast<std::uint8_t>(plan.ExceptionCode));
  }
  std::string wire = framer_.Encode(*reply, plan.Corrupt);
  if (Trace) {
    Trace(plan.Send ? "reply " + Hex(wire) + (plan.Delay ? " (late " + std::to_string(plan.Delay) + " ms)" : "")
                    : std::string("reply dropped"));
  }
  if (plan.Send) ++replies_;
  for (auto& chunk : faults_.Schedule(plan, wire, now, gapMs_)) {
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
