// libFuzzer target: parsing a configuration file.
//
// The input is the file's bytes. Parsing takes at most 32 lines and never
// fails (a layout line that does not read leaves the default layout); what
// it stores must survive a save and a second parse unchanged (layouts that
// read as today's may come back as the default ones; the entry
// boxes only when they hold numbers, factors only when finite: the file has
// no spelling for infinity or NaN, and a factor of -0 comes back as 0).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/ConfigFile.h"
#include "files/FileNumbers.h"

namespace {

using korvane::RegisterMap;
using korvane::Settings;

// -0 is written as "0" and reads back as +0, which scales alike.
bool SameFactor(float a, float b) { return !std::isfinite(a) || a == b; }

// A map that reads as today's is saved without its layout lines and comes
// back with the default layouts, which read and write alike.
bool SameLayouts(const RegisterMap& m, const RegisterMap& n) {
  if (korvane::ReadsAsToday(m)) return korvane::ReadsAsToday(n);
  return m.LayoutSP == n.LayoutSP && m.LayoutPV == n.LayoutPV && m.LayoutOut == n.LayoutOut &&
         m.LayoutHys == n.LayoutHys && m.LayoutKp == n.LayoutKp && m.LayoutKi == n.LayoutKi &&
         m.LayoutKd == n.LayoutKd;
}

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
         SameFactor(m.FactorKd, n.FactorKd) && SameLayouts(m, n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Settings loaded;
  korvane::EntryTexts entries = korvane::ParseConfiguration(input, loaded);

  // ParseFileFloat accepts what StrictFloat does, without an exception.
  for (std::string& entry : entries) {
    if (!korvane::ParseFileFloat(entry, '.')) entry = "0";
  }
  const std::string saved = korvane::ComposeConfiguration(loaded, entries, '.');
  Settings again;
  const korvane::EntryTexts entriesAgain = korvane::ParseConfiguration(saved, again);
  if (!SameSettings(loaded, again)) std::abort();
  // A second save of what was read back gives the same file.
  const RegisterMap& m = loaded.Map;
  const bool finite = std::isfinite(m.FactorSP) && std::isfinite(m.FactorPV) && std::isfinite(m.FactorOut) &&
                      std::isfinite(m.FactorHys) && std::isfinite(m.FactorKp) && std::isfinite(m.FactorKi) &&
                      std::isfinite(m.FactorKd);
  if (finite && korvane::ComposeConfiguration(again, entriesAgain, '.') != saved) std::abort();
  return 0;
}
