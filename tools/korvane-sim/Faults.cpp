#include "Faults.h"

#include <algorithm>
#include <charconv>
#include <sstream>

namespace korvane::sim {

namespace {

struct KindInfo {
  std::string_view Name;
  FaultKind Kind;
  std::vector<std::string> Positional;        // names of the plain values, in order
  std::map<std::string, long> Defaults;
};

const std::vector<KindInfo>& Kinds() {
  static const std::vector<KindInfo> kinds{
      {"drop", FaultKind::Drop, {}, {}},
      {"corrupt", FaultKind::Corrupt, {}, {}},
      {"late", FaultKind::Late, {"ms"}, {{"ms", 1500}}},
      {"split", FaultKind::Split, {"pieces", "pause"}, {{"pieces", 2}, {"pause", 100}}},
      {"noise", FaultKind::Noise, {"bytes"}, {{"bytes", 4}}},
      {"exception", FaultKind::Exception, {"code"}, {{"code", 2}}},
      {"silent", FaultKind::Silent, {}, {}},
      {"vanish", FaultKind::Vanish, {}, {}},
      {"as-address", FaultKind::AsAddress, {"address"}, {{"address", -1}}},  // -1: not given
  };
  return kinds;
}

const KindInfo* FindKind(std::string_view name) {
  if (name == "corrupt-crc" || name == "corrupt-lrc") name = "corrupt";
  for (const auto& k : Kinds()) {
    if (k.Name == name) return &k;
  }
  return nullptr;
}

bool ParseNumber(std::string_view s, long& value) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size();
}

std::vector<std::string_view> SplitAny(std::string_view s, std::string_view separators) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= s.size()) {
    std::size_t end = s.find_first_of(separators, start);
    if (end == std::string_view::npos) end = s.size();
    if (end > start) parts.push_back(s.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

}  // namespace

std::string_view KindName(FaultKind kind) {
  for (const auto& k : Kinds()) {
    if (k.Kind == kind) return k.Name;
  }
  return "?";
}

bool ParseFault(std::string_view text, Fault& fault, std::string* error) {
  auto parts = SplitAny(text, " \t:,");
  if (parts.empty()) return Fail(error, "no fault given");
  const KindInfo* info = FindKind(parts[0]);
  if (!info) return Fail(error, "unknown fault '" + std::string(parts[0]) + "'");
  Fault f;
  f.Kind = info->Kind;
  f.Params = info->Defaults;
  std::size_t positional = 0;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    std::string_view part = parts[i];
    std::string key;
    std::string_view value = part;
    if (auto eq = part.find('='); eq != std::string_view::npos) {
      key = std::string(part.substr(0, eq));
      value = part.substr(eq + 1);
    } else {
      if (positional >= info->Positional.size()) {
        return Fail(error, "too many values for fault " + std::string(info->Name));
      }
      key = info->Positional[positional++];
    }
    long number = 0;
    if (!ParseNumber(value, number) || number < 0) {
      return Fail(error, "'" + std::string(value) + "' is not a number of 0 or more");
    }
    if (key == "every") {
      if (number < 1) return Fail(error, "every= must be 1 or more");
      f.Every = number;
    } else if (key == "count") {
      f.Count = number;
    } else if (info->Defaults.count(key)) {
      f.Params[key] = number;
    } else {
      return Fail(error, "fault " + std::string(info->Name) + " has no setting '" + key + "'");
    }
  }
  if (f.Kind == FaultKind::Split && f.Params["pieces"] < 1) return Fail(error, "pieces must be 1 or more");
  if (f.Kind == FaultKind::Exception && (f.Params["code"] < 1 || f.Params["code"] > 255)) {
    return Fail(error, "exception code must be 1..255");
  }
  if (f.Kind == FaultKind::AsAddress && (f.Params["address"] < 0 || f.Params["address"] > 255)) {
    return Fail(error, "as-address takes the address to answer as, 0..255");
  }
  fault = f;
  return true;
}

std::string Describe(const Fault& fault) {
  std::ostringstream out;
  out << KindName(fault.Kind);
  for (const auto& [key, value] : fault.Params) out << ' ' << key << '=' << value;
  if (fault.Every != 1) out << " every=" << fault.Every;
  if (fault.Count >= 0) out << " count=" << fault.Count;
  return out.str();
}

void FaultPlan::Set(const Fault& fault) {
  std::erase_if(faults_, [&](const Fault& f) { return f.Kind == fault.Kind; });
  faults_.push_back(fault);
}

ReplyPlan FaultPlan::Next() {
  ReplyPlan plan;
  for (auto& f : faults_) {
    ++f.Seen;
    if (f.Seen % f.Every != 0) continue;
    if (f.Count >= 0 && f.Applied >= f.Count) continue;
    ++f.Applied;
    switch (f.Kind) {
      case FaultKind::Drop:
      case FaultKind::Silent: plan.Send = false; break;
      case FaultKind::Corrupt: plan.Corrupt = true; break;
      case FaultKind::Late: plan.Delay = f.Params["ms"]; break;
      case FaultKind::Split:
        plan.Pieces = static_cast<int>(f.Params["pieces"]);
        plan.Pause = f.Params["pause"];
        break;
      case FaultKind::Noise: plan.NoiseBytes = static_cast<int>(f.Params["bytes"]); break;
      case FaultKind::Exception: plan.ExceptionCode = static_cast<int>(f.Params["code"]); break;
      case FaultKind::Vanish: plan.Vanish = true; break;
      case FaultKind::AsAddress: plan.AsAddress = static_cast<int>(f.Params["address"]); break;
    }
  }
  std::erase_if(faults_, [](const Fault& f) { return f.Count >= 0 && f.Applied >= f.Count; });
  return plan;
}

std::vector<Chunk> FaultPlan::Schedule(const ReplyPlan& plan, const std::string& wire, Millis now,
                                       Millis gapMs) {
  std::vector<Chunk> chunks;
  if (plan.Vanish) return chunks;
  Millis due = now + plan.Delay;
  if (plan.Send) {
    int pieces = std::clamp(plan.Pieces, 1, std::max(1, static_cast<int>(wire.size())));
    std::size_t at = 0;
    for (int i = 0; i < pieces; ++i) {
      std::size_t length = (wire.size() - at) / static_cast<std::size_t>(pieces - i);
      chunks.push_back({due, wire.substr(at, length)});
      at += length;
      if (i + 1 < pieces) due += plan.Pause;
    }
  }
  if (plan.NoiseBytes > 0) {
    std::string noise;
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < plan.NoiseBytes; ++i) noise.push_back(static_cast<char>(byte(random_)));
    chunks.push_back({due + gapMs, noise});
  }
  return chunks;
}

}  // namespace korvane::sim
