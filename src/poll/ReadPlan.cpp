#include "poll/ReadPlan.h"

#include <algorithm>

namespace korvane {
namespace {

ValueRegisters Of(std::int32_t address, const RegisterLayout& layout) {
  return {layout.Table, address, RegisterSpan(layout.Format)};
}

// The spans of one table, joined where that is cheaper than another request.
void PlanTable(const std::array<ValueRegisters, 7>& values, RegisterTable table, std::vector<PlanRequest>& plan) {
  std::vector<ValueRegisters> mine;
  for (const ValueRegisters& v : values) {
    if (v.Table == table && Addressable(v)) mine.push_back(v);
  }
  if (mine.empty()) return;
  std::sort(mine.begin(), mine.end(), [](const ValueRegisters& a, const ValueRegisters& b) { return a.Address < b.Address; });

  // Every register the map names lies in today's block: read it as today.
  const bool inTodaysBlock = std::all_of(mine.begin(), mine.end(), [](const ValueRegisters& v) {
    return v.Address + v.Span <= kTodaysRead.Start + kTodaysRead.Count;
  });
  if (table == RegisterTable::Holding && inTodaysBlock) {
    plan.push_back(kTodaysRead);
    return;
  }

  PlanRequest span{table, mine.front().Address, mine.front().Span};
  for (std::size_t i = 1; i < mine.size(); ++i) {
    const ValueRegisters& v = mine[i];
    const std::int32_t end = span.Start + span.Count;  // one past the span
    const std::int32_t joined = std::max(end, v.Address + v.Span) - span.Start;
    const std::int32_t gap = std::max(0, v.Address - end);
    if (joined <= kMaxPlanSpan && 2 * gap < kRequestCostBytes) {
      span.Count = joined;
    } else {
      plan.push_back(span);
      span = {table, v.Address, v.Span};
    }
  }
  plan.push_back(span);
}

}  // namespace

std::array<ValueRegisters, 7> MapRegisters(const RegisterMap& m) {
  return {Of(m.AddrPV, m.LayoutPV), Of(m.AddrSP, m.LayoutSP), Of(m.AddrOut, m.LayoutOut), Of(m.AddrHys, m.LayoutHys),
          Of(m.AddrKp, m.LayoutKp), Of(m.AddrKi, m.LayoutKi), Of(m.AddrKd, m.LayoutKd)};
}

bool Addressable(const ValueRegisters& value) {
  return value.Address >= 0 && std::int64_t{value.Address} + value.Span - 1 <= kHighestRegisterAddress;
}

std::vector<PlanRequest> MakeReadPlan(const std::array<ValueRegisters, 7>& values) {
  std::vector<PlanRequest> plan;
  PlanTable(values, RegisterTable::Holding, plan);
  PlanTable(values, RegisterTable::Input, plan);
  return plan;
}

std::vector<PlanRequest> MakeReadPlan(const RegisterMap& map) { return MakeReadPlan(MapRegisters(map)); }

}  // namespace korvane
