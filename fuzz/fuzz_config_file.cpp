// libFuzzer target: loading a configuration file.
//
// The input becomes the file. Loading reads at most 25 lines and never
// fails on a regular file; what it stores must survive a save and a second
// load unchanged (the entry boxes only when they hold numbers, factors only
// when finite: the file has no spelling for infinity or NaN, and a factor of
// -0 comes back as 0).
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/BoundedRead.h"
#include "base/Convert.h"
#include "base/FileError.h"
#include "config/ConfigFile.h"

namespace {

using korvane::RegisterMap;
using korvane::Settings;

void WriteFile(const std::string& path, std::string_view bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
}

// -0 is written as "0" and reads back as +0, which scales alike.
bool SameFactor(float a, float b) { return !std::isfinite(a) || a == b; }

bool SameSettings(const Settings& a, const Settings& b) {
  const RegisterMap& m = a.Map;
  const RegisterMap& n = b.Map;
  return a.Link.PortNumber == b.Link.PortNumber && a.Link.Baud == b.Link.Baud &&
         a.Link.DataBits == b.Link.DataBits && a.Link.ParityLetter == b.Link.ParityLetter &&
         a.Link.StopBitCount == b.Link.StopBitCount && a.Poll.PollTime == b.Poll.PollTime &&
         m.ControllerType == n.ControllerType && m.AddrSP == n.AddrSP && m.AddrPV == n.AddrPV &&
         m.AddrOut == n.AddrOut && m.AddrHys == n.AddrHys && m.AddrKp == n.AddrKp && m.AddrKi == n.AddrKi &&
         m.AddrKd == n.AddrKd && SameFactor(m.FactorSP, n.FactorSP) && SameFactor(m.FactorPV, n.FactorPV) &&
         SameFactor(m.FactorOut, n.FactorOut) && SameFactor(m.FactorHys, n.FactorHys) &&
         SameFactor(m.FactorKp, n.FactorKp) && SameFactor(m.FactorKi, n.FactorKi) &&
         SameFactor(m.FactorKd, n.FactorKd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  static const std::string path = [] {
    std::string p = "/tmp/korvane-fuzz-config-" + std::to_string(getpid()) + ".cfg";
    std::atexit([] { std::remove(("/tmp/korvane-fuzz-config-" + std::to_string(getpid()) + ".cfg").c_str()); });
    return p;
  }();
  WriteFile(path, input);

  Settings loaded;
  korvane::EntryTexts entries;
  try {
    entries = korvane::LoadConfiguration(path, loaded);
  } catch (const korvane::FileError&) {
    std::abort();  // a regular file of any content loads
  }
  // The file read whole and the same bytes applied directly agree.
  Settings direct;
  std::vector<std::string> lines = korvane::SplitLines(input.substr(0, korvane::kMaxConfigBytes));
  if (lines.size() > korvane::kConfigLines) lines.resize(korvane::kConfigLines);
  if (korvane::ApplyConfiguration(lines, direct) != entries || !SameSettings(direct, loaded)) std::abort();

  for (std::string& entry : entries) {
    try {
      korvane::StrictFloat(entry, '.');
    } catch (const korvane::ConvertError&) {
      entry = "0";
    }
  }
  const std::string saved = korvane::ComposeConfiguration(loaded, entries, '.');
  Settings again;
  const korvane::EntryTexts entriesAgain = korvane::ApplyConfiguration(korvane::SplitLines(saved), again);
  if (!SameSettings(loaded, again)) std::abort();
  // A second save of what was read back gives the same file.
  const RegisterMap& m = loaded.Map;
  const bool finite = std::isfinite(m.FactorSP) && std::isfinite(m.FactorPV) && std::isfinite(m.FactorOut) &&
                      std::isfinite(m.FactorHys) && std::isfinite(m.FactorKp) && std::isfinite(m.FactorKi) &&
                      std::isfinite(m.FactorKd);
  if (finite && korvane::ComposeConfiguration(again, entriesAgain, '.') != saved) std::abort();
  return 0;
}
