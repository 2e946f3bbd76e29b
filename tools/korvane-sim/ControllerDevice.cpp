#include "ControllerDevice.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvane::sim {

namespace {

// The register number of a quantity in an integer format: rounded and held
// to the format's range, as a panel shows a value it cannot represent.
double HeldToFormat(RegisterFormat format, double number) {
  switch (format) {
    case RegisterFormat::S16: return std::clamp(std::round(number), -32768.0, 32767.0);
    case RegisterFormat::U16: return std::clamp(std::round(number), 0.0, 65535.0);
    case RegisterFormat::S32: return std::clamp(std::round(number), -2147483648.0, 2147483647.0);
    case RegisterFormat::U32: return std::clamp(std::round(number), 0.0, 4294967295.0);
    case RegisterFormat::F32: break;
  }
  const double max = std::numeric_limits<float>::max();
  return std::clamp(number, -max, max);
}

bool Covers(const MapEntry& e, RegisterTable table, int address) {
  return e.Table == table && address >= e.Address && address < e.Address + RegisterSpan(e.Format);
}

bool InArea(const SimMap& map, RegisterTable table, int address) {
  return std::any_of(map.Areas.begin(), map.Areas.end(), [&](const RegisterArea& a) {
    return a.Table == table && address >= a.First && address < a.First + a.Count;
  });
}

// 100 / band and 60 / repeats per minute each way; 0 stays 0 (on/off, no integral).
double Reciprocal(double numerator, double value) { return value > 0 ? numerator / value : 0; }

}  // namespace

ControllerDevice::ControllerDevice(const DeviceParams& params)
    : params_(params),
      process_(params.Process),
      pid_(params.SpanLow, params.SpanHigh),
      setpoint_(params.Setpoint),
      measured_(params.Process.Ambient) {
  PidFactors factors = params.Factors;
  factors.Series = Map().Form.Series;
  pid_.SetFactors(factors);
}

double ControllerDevice::Internal(Quantity what, double value) const {
  if (what == Quantity::Kp && Map().Form.Gain) return Reciprocal(100.0, value);
  if (what == Quantity::Ki && Map().Form.IntegralTime) return Reciprocal(60.0, value);
  return value;
}

void ControllerDevice::Advance(double seconds) {
  carry_ += seconds;
  while (carry_ >= ProcessModel::kStep - 1e-9) {
    carry_ -= ProcessModel::kStep;
    measured_ = process_.Measured();
    double automaticOut = pid_.Step(setpoint_, measured_, ProcessModel::kStep);
    output_ = automatic_ ? automaticOut : manualOutput_;
    process_.Step(output_);
    time_ += ProcessModel::kStep;
  }
}

double ControllerDevice::Get(Quantity what) const {
  const PidFactors& f = pid_.Factors();
  switch (what) {
    case Quantity::SP: return setpoint_;
    case Quantity::PV: return measured_;
    case Quantity::Out: return output_;
    case Quantity::Mode: return automatic_ ? 1 : 0;
    case Quantity::ManualOut: return manualOutput_;
    case Quantity::SpanLow: return params_.SpanLow;
    case Quantity::SpanHigh: return params_.SpanHigh;
    case Quantity::Ki: return Internal(what, f.Integral);
    case Quantity::Kd: return f.Derivative;
    case Quantity::Kp: return Internal(what, f.ProportionalBand);
    case Quantity::Hys: return f.Hysteresis;
  }
  return 0;
}

std::optional<std::uint16_t> ControllerDevice::Read(RegisterTable table, int address) const {
  const SimMap& map = Map();
  if (!InArea(map, table, address)) return std::nullopt;
  for (const MapEntry& e : map.Entries) {
    if (!Covers(e, table, address)) continue;
    const double number = HeldToFormat(e.Format, Get(e.What) * e.Scale);
    const auto words = EncodeRegisters(e.Format, e.Order, number);
    if (!words) return 0;
    return (*words)[static_cast<std::size_t>(address - e.Address)];
  }
  return 0;
}

ControllerDevice::WriteResult ControllerDevice::Check(Quantity what, double value) const {
  if (!std::isfinite(value)) return WriteResult::IllegalValue;
  if (value >= 0) value = Internal(what, value);
  switch (what) {
    case Quantity::SP:
      // The setpoint is limited to the input span, as the panel's own limits do.
      return value < params_.SpanLow || value > params_.SpanHigh ? WriteResult::IllegalValue : WriteResult::Ok;
    case Quantity::Mode: return value == 0 || value == 1 ? WriteResult::Ok : WriteResult::IllegalValue;
    case Quantity::ManualOut: return value >= 0 && value <= 100 ? WriteResult::Ok : WriteResult::IllegalValue;
    case Quantity::Kp: return value >= 0 && value <= 999.9 + 1e-9 ? WriteResult::Ok : WriteResult::IllegalValue;
    case Quantity::Ki:
    case Quantity::Kd:
    case Quantity::Hys: return value >= 0 ? WriteResult::Ok : WriteResult::IllegalValue;
    case Quantity::PV:
    case Quantity::Out:
    case Quantity::SpanLow:
    case Quantity::SpanHigh: break;
  }
  return WriteResult::IllegalAddress;
}

void ControllerDevice::Apply(Quantity what, double value) {
  value = Internal(what, value);
  PidFactors f = pid_.Factors();
  switch (what) {
    case Quantity::SP: setpoint_ = value; break;
    case Quantity::Mode: automatic_ = value == 1; break;
    case Quantity::ManualOut: manualOutput_ = value; break;
    case Quantity::Ki: f.Integral = value; break;
    case Quantity::Kd: f.Derivative = value; break;
    case Quantity::Kp: f.ProportionalBand = value; break;
    case Quantity::Hys: f.Hysteresis = value; break;
    default: break;
  }
  pid_.SetFactors(f);
}

ControllerDevice::WriteResult ControllerDevice::CheckWrite(int start, std::span<const std::uint16_t> words) const {
  const int end = start + static_cast<int>(words.size());
  for (int a = start; a < end; ++a) {
    const bool covered = std::any_of(Map().Entries.begin(), Map().Entries.end(), [&](const MapEntry& e) {
      return e.Writable && Covers(e, RegisterTable::Holding, a);
    });
    if (!covered) return WriteResult::IllegalAddress;
  }
  for (const MapEntry& e : Map().Entries) {
    if (e.Table != RegisterTable::Holding) continue;
    const int last = e.Address + RegisterSpan(e.Format) - 1;
    if (last < start || e.Address >= end) continue;
    if (e.Address < start || last >= end) return WriteResult::IllegalAddress;  // half a 32-bit value
    const auto at = static_cast<std::size_t>(e.Address - start);
    const std::array<std::uint16_t, 2> pair{words[at], RegisterSpan(e.Format) == 2 ? words[at + 1] : std::uint16_t{0}};
    const WriteResult r = Check(e.What, DecodeRegisters(e.Format, e.Order, pair) / e.Scale);
    if (r != WriteResult::Ok) return r;
  }
  return WriteResult::Ok;
}

ControllerDevice::WriteResult ControllerDevice::Write(int start, std::span<const std::uint16_t> words) {
  const WriteResult check = CheckWrite(start, words);
  if (check != WriteResult::Ok) return check;
  const int end = start + static_cast<int>(words.size());
  for (const MapEntry& e : Map().Entries) {
    if (e.Table != RegisterTable::Holding || e.Address < start || e.Address >= end) continue;
    const auto at = static_cast<std::size_t>(e.Address - start);
    const std::array<std::uint16_t, 2> pair{words[at], RegisterSpan(e.Format) == 2 ? words[at + 1] : std::uint16_t{0}};
    Apply(e.What, DecodeRegisters(e.Format, e.Order, pair) / e.Scale);
  }
  return WriteResult::Ok;
}

ControllerDevice::WriteResult ControllerDevice::Set(Quantity what, double value) {
  const WriteResult r = Check(what, value);
  if (r == WriteResult::Ok) Apply(what, value);
  return r;
}

}  // namespace korvane::sim
