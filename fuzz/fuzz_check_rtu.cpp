// libFuzzer target: the RTU reply check fed arbitrary pieces and settings.
#include "FuzzMaster.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korvane::fuzz::RunReplyCheck(data, size, true);
  return 0;
}
