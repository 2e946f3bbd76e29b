#include "SimCommands.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace korvane::sim {

namespace {

std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
    std::size_t start = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '\t' && s[i] != '\r') ++i;
    if (i > start) words.push_back(s.substr(start, i - start));
  }
  return words;
}

bool ToLong(std::string_view s, long& v) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

bool ToDouble(std::string_view s, double& v) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size() && std::isfinite(v);
}

std::string WriteReply(ControllerDevice::WriteResult r, const std::string& done) {
  switch (r) {
    case ControllerDevice::WriteResult::Ok: return done;
    case ControllerDevice::WriteResult::IllegalAddress: return "error: no writable register there";
    case ControllerDevice::WriteResult::IllegalValue: return "error: value refused by the controller";
  }
  return done;
}

}  // namespace

std::string StateLine(const ControllerDevice& device) {
  const PidFactors& f = device.Controller().Factors();
  const FactorForm& form = device.Map().Form;
  char factors[96];
  // The factors as the map's registers hold them: band or gain, rate or time.
  if (form.Gain) {
    std::snprintf(factors, sizeof factors, "gain=%.4g", f.ProportionalBand > 0 ? 100.0 / f.ProportionalBand : 0.0);
  } else {
    std::snprintf(factors, sizeof factors, "pb=%.1f%%", f.ProportionalBand);
  }
  const std::size_t used = std::strlen(factors);
  if (form.IntegralTime) {
    std::snprintf(factors + used, sizeof factors - used, " ti=%.4gs", f.Integral > 0 ? 60.0 / f.Integral : 0.0);
  } else {
    std::snprintf(factors + used, sizeof factors - used, " ki=%.2f/min", f.Integral);
  }
  char text[256];
  std::snprintf(text, sizeof text, "t=%.1fs sp=%.6g pv=%.2f out=%.1f%% mode=%s %s kd=%.0fs hys=%.0f%s",
                device.ProcessTime(), device.Setpoint(), device.ProcessValue(), device.OutputPercent(),
                device.Automatic() ? "auto" : "manual", factors, f.Derivative, f.Hysteresis,
                form.Series ? " form=series" : "");
  return text;
}

namespace {

const SimUnit* FindUnit(std::span<const SimUnit> units, long address) {
  for (const SimUnit& u : units) {
    if (u.Address == address) return &u;
  }
  return nullptr;
}

std::string At(const SimUnit& unit) { return "@" + std::to_string(unit.Address) + " "; }

std::string NoController(std::string_view address) {
  return "error: no controller at address " + std::string(address);
}

// The commands that change one controller; `rest` is the command without any @SLAVE.
std::string RunOnController(std::string_view rest, const std::vector<std::string_view>& words,
                            const SimUnit& unit) {
  ControllerDevice& device = *unit.Device;
  FaultPlan& faults = *unit.Faults;
  std::string_view verb = words[0];
  if (verb == "fault") {
    if (words.size() == 2 && words[1] == "none") {
      faults.Clear();
      return "fault none";
    }
    Fault fault;
    std::string error;
    if (!ParseFault(rest.substr(rest.find("fault") + 5), fault, &error)) return "error: " + error;
    faults.Set(fault);
    return "fault " + Describe(fault);
  }
  if (verb == "sp" && words.size() == 2) {
    // A decimal setpoint as a float map holds it; the controller's span
    // limits what it takes.
    double v = 0.0;
    if (!ToDouble(words[1], v)) return "error: sp takes a number";
    char done[64];
    std::snprintf(done, sizeof done, "sp %.6g", v);
    return WriteReply(device.Set(Quantity::SP, v), done);
  }
  if (verb == "set" && words.size() == 3) {
    long a = 0, v = 0;
    if (!ToLong(words[1], a) || !ToLong(words[2], v) || v < -32768 || v > 65535) {
      return "error: set takes an address and a 16-bit value";
    }
    return WriteReply(device.Write(static_cast<int>(a), static_cast<std::uint16_t>(v)),
                      "set " + std::to_string(a) + " " + std::to_string(v));
  }
  return "error: unknown command '" + std::string(rest) + "'";
}

}  // namespace

CommandResult RunCommand(std::string_view line, std::span<const SimUnit> units) {
  CommandResult result;
  auto words = Words(line);
  if (words.empty() || units.empty()) return result;
  // "@3 ..." names the controller; without it the command is the first's.
  const SimUnit* unit = &units.front();
  bool named = false;
  std::string_view rest = line;
  if (words[0].front() == '@') {
    long address = 0;
    if (!ToLong(words[0].substr(1), address)) {
      result.Reply = "error: @ takes a slave address, as in @3 sp 80";
      return result;
    }
    unit = FindUnit(units, address);
    if (!unit) {
      result.Reply = NoController(words[0].substr(1));
      return result;
    }
    named = true;
    words.erase(words.begin());
    if (!words.empty()) rest = line.substr(static_cast<std::size_t>(words[0].data() - line.data()));
    if (words.empty()) {
      result.Reply = "error: " + At(*unit) + "needs a command";
      return result;
    }
  }
  std::string_view verb = words[0];
  if (verb == "quit" || verb == "exit" || verb == "vanish") {
    if (named) {
      result.Reply = "error: " + std::string(verb) + " acts on the whole line, without @";
    } else if (verb == "vanish") {
      result.Vanish = true;
      result.Reply = "vanishing";
    } else {
      result.Quit = true;
      result.Reply = "stopping";
    }
    return result;
  }
  if (verb == "show" || verb == "status") {
    if (words.size() > 2 || (named && words.size() == 2)) {
      result.Reply = "error: show takes one slave address at most, as in show 3";
    } else if (words.size() == 2) {
      long address = 0;
      const SimUnit* shown = ToLong(words[1], address) ? FindUnit(units, address) : nullptr;
      result.Reply = shown ? At(*shown) + StateLine(*shown->Device) : NoController(words[1]);
    } else if (!named && units.size() > 1) {
      for (const SimUnit& u : units) {
        result.Reply += (result.Reply.empty() ? "" : "\n") + At(u) + StateLine(*u.Device);
      }
    } else {
      result.Reply = (named ? At(*unit) : "") + StateLine(*unit->Device);
    }
    return result;
  }
  result.Reply = RunOnController(rest, words, *unit);
  if (named && result.Reply.rfind("error:", 0) != 0) result.Reply = At(*unit) + result.Reply;
  return result;
}

CommandResult RunCommand(std::string_view line, ControllerDevice& device, FaultPlan& faults,
                         std::uint8_t slave) {
  const SimUnit unit{slave, &device, &faults};
  return RunCommand(line, std::span(&unit, 1));
}

}  // namespace korvane::sim
