#pragma once
// Line time on a serial link: the silence that ends a frame, and how long
// one poll keeps the line busy with the requests of its read plan(s), so a
// caller can warn when the poll period is shorter than that.

#include <cstdint>
#include <string>
#include <vector>

#include "base/Settings.h"
#include "poll/ReadPlan.h"

namespace korvane {

struct LineFraming {
  std::int32_t Baud = 9600;
  std::int32_t CharacterBits = 10;  // start bit, data bits, parity bit, stop bits
  bool Rtu = true;                  // false: ASCII, two characters per byte and ':' CR LF
};

// The framing the link settings give: 1 + DataBits + (parity? 1 : 0) + StopBitCount bits.
LineFraming FramingOf(const LinkSettings& link);

// The silence that ends a frame: 3.5 characters, and 1.75 ms above 19200 baud
// (the fixed value Modbus RTU names for fast lines). ASCII frames end with
// CR LF, but a reply still being sent is only over after the same silence.
double FrameGapSeconds(const LineFraming& framing);
// The same in whole milliseconds, rounded up (at least 1).
std::uint32_t FrameGapMilliseconds(const LineFraming& framing);

// Characters on the line of one read request and of its reply.
std::int32_t RequestCharacters(const LineFraming& framing);
std::int32_t ReplyCharacters(const LineFraming& framing, const PlanRequest& request);

// Line time of one poll: every request and every reply of `requests` (the
// read plans of all controllers together), each frame after its gap.
double PollLineSeconds(const LineFraming& framing, const std::vector<PlanRequest>& requests);

// "8 controllers need about 1.3 s per poll at 9600 baud; the poll period is 1 s"
// (seconds with one decimal, the poll period in the settings' whole seconds).
std::string PollTimeWarning(std::int32_t controllers, double seconds, std::int32_t baud,
                            std::int32_t pollSeconds);

}  // namespace korvane
