#include <time.h>

#include "base/LocalTime.h"

namespace korvane {

std::tm LocalTimeOf(std::time_t at) {
  std::tm local{};
  ::localtime_r(&at, &local);
  return local;
}

}  // namespace korvane
