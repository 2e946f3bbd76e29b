// The tick count counts milliseconds (GetTickCount on Windows, the monotonic
// clock elsewhere); its wrap at 2^32 is the reply deadline's business
// (poll tests).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/TickCount.h"

namespace korvane {
namespace {

TEST(TickCount, CountsMilliseconds) {
  const std::uint32_t start = TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::uint32_t elapsed = TickCount() - start;  // unsigned: right across a wrap
  EXPECT_GE(elapsed, 80u);    // GetTickCount steps in 10-16 ms
  EXPECT_LT(elapsed, 5000u);  // a loaded machine may oversleep, never by seconds' worth of ticks
}

}  // namespace
}  // namespace korvane
