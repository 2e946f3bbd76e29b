// libFuzzer target: the number conversions and number display.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Convert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)korvane::LenientInt(text);
  double lenient = korvane::LenientFloat(text);
  std::int32_t i = 0;
  (void)korvane::StrictInt(text, i);
  for (char sep : {'.', ','}) {
    try {
      double v = korvane::StrictFloat(text, sep);
      if (std::isnan(v)) std::abort();  // the syntax has no NaN
      (void)korvane::Format83(v, sep);
    } catch (const korvane::ConvertError& e) {
      // what() is a C string: a text with a NUL byte shows up to it.
      if (std::string(e.what()) != korvane::InvalidFloatMessage(text).c_str()) std::abort();
    }
  }
  (void)korvane::Format83(lenient);
  (void)korvane::Format63(lenient);
  std::string g = korvane::FormatGeneral15(lenient);
  if (g.empty()) std::abort();
  // Any bit pattern as a double, NaN and infinities included.
  if (size >= sizeof(double)) {
    double raw;
    __builtin_memcpy(&raw, data, sizeof raw);
    (void)korvane::FormatGeneral15(raw);
    (void)korvane::Format83(raw);
    (void)korvane::Format63(raw, ',');
  }
  return 0;
}
