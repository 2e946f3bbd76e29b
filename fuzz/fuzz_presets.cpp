// libFuzzer target: parsing a controller preset file.
//
// The input is the file's bytes. Parsing never fails; no map text holds a
// line end, an address is always a field before a ", " and so never holds
// one, and applying the same lines again changes nothing (each row ends as
// the last line naming it left it).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/Presets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const korvane::MapTexts read = korvane::ParsePreset(input);
  korvane::MapTexts again = read;
  korvane::ApplyPresetLines(input.substr(0, korvane::kMaxPresetBytes), again);
  if (!(again == read)) std::abort();

  for (std::size_t row = 0; row < korvane::kMapRows; ++row) {
    for (const std::string* text : {&read.Addr[row], &read.Factor[row]}) {
      if (text->find('\n') != std::string::npos) std::abort();
    }
    if (read.Addr[row].find(", ") != std::string::npos) std::abort();
  }
  return 0;
}
