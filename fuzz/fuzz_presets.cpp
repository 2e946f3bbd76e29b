// libFuzzer target: reading a controller preset file.
//
// The input becomes "<folder>/Fuzz.Korvane". Reading it must give the same
// map texts as applying its lines to the pre-fill directly, the folder scan
// must list it, and no map text may hold a line end; an address is always a
// field before a ", " and so never holds one.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <sys/stat.h>

#include "base/FileError.h"
#include "config/Presets.h"

namespace {

std::string Folder() {
  static const std::string folder = [] {
    std::string f = "/tmp/korvane-fuzz-presets-" + std::to_string(getpid());
    ::mkdir(f.c_str(), 0700);
    std::atexit([] {
      const std::string d = "/tmp/korvane-fuzz-presets-" + std::to_string(getpid());
      std::remove((d + "/Fuzz.Korvane").c_str());
      ::rmdir(d.c_str());
    });
    return f;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string path = korvane::PresetPath(Folder(), "Fuzz");
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  korvane::MapTexts read;
  try {
    read = korvane::ReadPreset(Folder(), "Fuzz");
  } catch (const korvane::FileError&) {
    std::abort();  // a regular file of any content reads
  }
  korvane::MapTexts direct = korvane::PresetPrefill();
  korvane::ApplyPresetLines(input.substr(0, korvane::kMaxPresetBytes), direct);
  if (!(read == direct)) std::abort();

  for (std::size_t row = 0; row < korvane::kMapRows; ++row) {
    for (const std::string* text : {&read.Addr[row], &read.Factor[row]}) {
      if (text->find('\n') != std::string::npos) std::abort();
    }
    if (read.Addr[row].find(", ") != std::string::npos) std::abort();
  }
  const korvane::PresetScan scan = korvane::ScanPresets(Folder());
  if (scan.Names.size() != 1 || scan.Names[0] != "Fuzz" || !scan.AnyEntry) std::abort();
  return 0;
}
