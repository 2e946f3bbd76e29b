#pragma once
// The read plan: the requests that fetch the registers of the seven
// controller values, per table, in as few requests as fit. Spans hold at
// most 125 registers (the most one read may ask for); two spans are joined
// when the registers between them cost less line time than another request.
// A map whose holding registers all lie in 0..19 reads them as today, in one
// read of the block 0..19.

#include <array>
#include <cstdint>
#include <vector>

#include "base/RegisterFormat.h"
#include "base/Settings.h"

namespace korvane {

struct PlanRequest {
  RegisterTable Table = RegisterTable::Holding;
  std::int32_t Start = 0;  // wire address
  std::int32_t Count = 0;
  bool operator==(const PlanRequest&) const = default;
};

inline constexpr std::int32_t kMaxPlanSpan = 125;
// Line time of one more request, in bytes: the request (8), the reply's
// address, function, byte count and CRC (5), and the silence before each
// frame (2 x 3.5 characters). A register between two spans costs 2.
inline constexpr std::int32_t kRequestCostBytes = 20;
// The block today's read fetches: holding registers 0..19.
inline constexpr PlanRequest kTodaysRead{RegisterTable::Holding, 0, 20};

// One value as the plan sees it: where its registers lie.
struct ValueRegisters {
  RegisterTable Table;
  std::int32_t Address;
  std::int32_t Span;  // 1 or 2
};

// The seven values of a map (PV, SP, Out, Hys, Kp, Ki, Kd).
std::array<ValueRegisters, 7> MapRegisters(const RegisterMap& map);

// Whether a value's registers lie within 0..65535 (a typed map may hold any number).
bool Addressable(const ValueRegisters& value);

// The plan: holding requests first, then input ones, each by address.
// Values outside 0..65535 are not read.
std::vector<PlanRequest> MakeReadPlan(const std::array<ValueRegisters, 7>& values);
std::vector<PlanRequest> MakeReadPlan(const RegisterMap& map);

}  // namespace korvane
