#include "poll/LineTime.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace korvane {

LineFraming FramingOf(const LinkSettings& link) {
  const std::int32_t parity = link.ParityLetter == "N" || link.ParityLetter.empty() ? 0 : 1;
  return {link.Baud, 1 + link.DataBits + parity + link.StopBitCount, link.RtuMode};
}

double FrameGapSeconds(const LineFraming& framing) {
  if (framing.Baud <= 0) return 0.0;
  if (framing.Baud > 19200) return 0.00175;
  return 3.5 * framing.CharacterBits / framing.Baud;
}

std::uint32_t FrameGapMilliseconds(const LineFraming& framing) {
  return static_cast<std::uint32_t>(std::max(1.0, std::ceil(FrameGapSeconds(framing) * 1000.0 - 1e-9)));
}

namespace {

// RTU: the bytes; ASCII: ':' + two hex digits per byte + the LRC's two + CR LF.
std::int32_t Characters(const LineFraming& framing, std::int32_t bytesWithoutCheck) {
  return framing.Rtu ? bytesWithoutCheck + 2 : 1 + 2 * bytesWithoutCheck + 2 + 2;
}

}  // namespace

std::int32_t RequestCharacters(const LineFraming& framing) {
  return Characters(framing, 6);  // address, function, start, count
}

std::int32_t ReplyCharacters(const LineFraming& framing, const PlanRequest& request) {
  return Characters(framing, 3 + 2 * request.Count);  // address, function, byte count, registers
}

double PollLineSeconds(const LineFraming& framing, const std::vector<PlanRequest>& requests) {
  if (framing.Baud <= 0) return 0.0;
  const double characterSeconds = static_cast<double>(framing.CharacterBits) / framing.Baud;
  double seconds = 0.0;
  for (const PlanRequest& request : requests) {
    const std::int32_t characters = RequestCharacters(framing) + ReplyCharacters(framing, request);
    seconds += characters * characterSeconds + 2 * FrameGapSeconds(framing);
  }
  return seconds;
}

std::string PollTimeWarning(std::int32_t controllers, double seconds, std::int32_t baud,
                            std::int32_t pollSeconds) {
  char decimal[32];
  // std::to_chars is locale-free: the point stays a point whatever the system's settings.
  const auto end = std::to_chars(decimal, decimal + sizeof decimal, seconds, std::chars_format::fixed, 1).ptr;
  return std::to_string(controllers) + (controllers == 1 ? " controller needs" : " controllers need") +
         " about " + std::string(decimal, end) + " s per poll at " + std::to_string(baud) +
         " baud; the poll period is " + std::to_string(pollSeconds) + " s";
}

}  // namespace korvane
