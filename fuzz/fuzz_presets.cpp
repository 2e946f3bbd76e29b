// libFuzzer target: parsing a controller preset file.
//
// The input is the file's bytes. Parsing fails only with RegisterLineError
// (a bad register line); otherwise no map text holds a line end, an address
// is always a field before a ", " and so never holds one, a register line's
// texts hold no ", ", and applying the same lines again changes nothing
// (each row ends as the last line naming it left it).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/Presets.h"
#include "config/RegisterLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  korvane::MapTexts read;
  try {
    read = korvane::ParsePreset(input);
  } catch (const korvane::RegisterLineError&) {
    return 0;
  }
  korvane::MapTexts again = read;
  korvane::ApplyPresetLines(input.substr(0, korvane::kMaxPresetBytes), again);
  if (!(again == read)) std::abort();

  for (std::size_t row = 0; row < korvane::kMapRows; ++row) {
    for (const std::string* text : {&read.Addr[row], &read.Factor[row], &read.Format[row], &read.Table[row],
                                    &read.WriteAddr[row]}) {
      if (text->find('\n') != std::string::npos) std::abort();
    }
    for (const std::string* text : {&read.Format[row], &read.Table[row], &read.WriteAddr[row]}) {
      if (text->find(", ") != std::string::npos) std::abort();
    }
    if (read.Addr[row].find(", ") != std::string::npos) std::abort();
  }
  return 0;
}
