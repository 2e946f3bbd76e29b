#include <time.h>

#include "base/LocalTime.h"

namespace korvane {

std::tm LocalTimeOf(std::time_t at) {
  std::tm local{};
  ::localtime_s(&local, &at);
  return local;
}

}  // namespace korvane
