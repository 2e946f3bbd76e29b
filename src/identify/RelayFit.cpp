#include "identify/RelayFit.h"

namespace korvane {

Identification IdentifyRelay(std::span<const TuningSample> samples, double relayStart, const RelayCycles& cycles,
                             FitOptions options) {
  (void)cycles;
  options.RestUntil = relayStart;
  options.LimitShare = 2.0;  // the relay's output sits on its limits by design
  return IdentifyFopdt(samples, options);
}

}  // namespace korvane
