#include "base/TickCount.h"

#ifdef _WIN32
#include "base/LeanWindows.h"
#else
#include <chrono>
#endif

namespace korvane {

std::uint32_t TickCount() {
#ifdef _WIN32
  return static_cast<std::uint32_t>(::GetTickCount());
#else
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
#endif
}

}  // namespace korvane
