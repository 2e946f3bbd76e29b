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

CommandResult RunCommand(std::string_view line, ControllerDevice& device, FaultPlan& faults) {
  CommandResult result;
  auto words = Words(line);
  if (words.empty()) return result;
  std::string_view verb = words[0];
  if (verb == "quit" || verb == "exit") {
    result.Quit = true;
    result.Reply = "stopping";
  } else if (verb == "vanish") {
    result.Vanish = true;
    result.Reply = "vanishing";
  } else if (verb == "show" || verb == "status") {
    result.Reply = StateLine(device);
  } else if (verb == "fault") {
    if (words.size() == 2 && words[1] == "none") {
      faults.Clear();
      result.Reply = "fault none";
    } else {
      std::size_t start = line.find("fault") + 5;
      Fault fault;
      std::string error;
      if (ParseFault(line.substr(start), fault, &error)) {
        faults.Set(fault);
        result.Reply = "fault " + Describe(fault);
      } else {
        result.Reply = "error: " + error;
      }
    }
  } else if (verb == "sp" && words.size() == 2) {
    // A decimal setpoint as a float map holds it; the controller's span
    // limits what it takes.
    double v = 0.0;
    if (!ToDouble(words[1], v)) {
      result.Reply = "error: sp takes a number";
    } else {
      char done[64];
      std::snprintf(done, sizeof done, "sp %.6g", v);
      result.Reply = WriteReply(device.Set(Quantity::SP, v), done);
    }
  } else if (verb == "set" && words.size() == 3) {
    long a = 0, v = 0;
    if (!ToLong(words[1], a) || !ToLong(words[2], v) || v < -32768 || v > 65535) {
      result.Reply = "error: set takes an address and a 16-bit value";
    } else {
      result.Reply = WriteReply(device.Write(static_cast<int>(a), static_cast<std::uint16_t>(v)),
                                "set " + std::to_string(a) + " " + std::to_string(v));
    }
  } else {
    result.Reply = "error: unknown command '" + std::string(line) + "'";
  }
  return result;
}

}  // namespace korvane::sim
