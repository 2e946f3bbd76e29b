#include "ControllerDevice.h"

#include <algorithm>
#include <cmath>

namespace korvane::sim {

namespace {

std::uint16_t Word(double value) {
  long v = std::lround(std::clamp(value, -32768.0, 32767.0));
  return static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
}

std::uint16_t UnsignedWord(double value) {
  return static_cast<std::uint16_t>(std::lround(std::clamp(value, 0.0, 65535.0)));
}

double Signed(std::uint16_t value) { return static_cast<std::int16_t>(value); }

}  // namespace

ControllerDevice::ControllerDevice(const DeviceParams& params)
    : params_(params),
      process_(params.Process),
      pid_(params.SpanLow, params.SpanHigh),
      setpoint_(params.Setpoint),
      measured_(params.Process.Ambient) {
  pid_.SetFactors(params.Factors);
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

std::optional<std::uint16_t> ControllerDevice::Read(int address) const {
  const PidFactors& f = pid_.Factors();
  switch (address) {
    case reg::SP:
    case reg::SPWrite: return Word(setpoint_);
    case reg::PV: return Word(measured_);
    case reg::Out: return Word(output_ * 10.0);
    case reg::Mode: return automatic_ ? 1 : 0;
    case reg::ManualOut: return Word(manualOutput_ * 10.0);
    case reg::SpanLow: return Word(params_.SpanLow);
    case reg::SpanHigh: return Word(params_.SpanHigh);
    case reg::Ki: return UnsignedWord(f.Integral * 100.0);
    case reg::Kd: return UnsignedWord(f.Derivative);
    case reg::Kp: return UnsignedWord(f.ProportionalBand * 10.0);
    case reg::Hys: return UnsignedWord(f.Hysteresis);
    default:
      if (address >= 0 && address < reg::Count) return 0;
      return std::nullopt;
  }
}

ControllerDevice::WriteResult ControllerDevice::CheckWrite(int address, std::uint16_t value) const {
  switch (address) {
    case reg::SP:
    case reg::SPWrite:
      // The setpoint is limited to the input span, as the panel's own limits do.
      if (Signed(value) < params_.SpanLow || Signed(value) > params_.SpanHigh) {
        return WriteResult::IllegalValue;
      }
      return WriteResult::Ok;
    case reg::Mode: return value <= 1 ? WriteResult::Ok : WriteResult::IllegalValue;
    case reg::ManualOut: return value <= 1000 ? WriteResult::Ok : WriteResult::IllegalValue;
    case reg::Kp: return value <= 9999 ? WriteResult::Ok : WriteResult::IllegalValue;
    case reg::Ki:
    case reg::Kd:
    case reg::Hys: return WriteResult::Ok;
    default: return WriteResult::IllegalAddress;
  }
}

ControllerDevice::WriteResult ControllerDevice::Write(int address, std::uint16_t value) {
  WriteResult check = CheckWrite(address, value);
  if (check != WriteResult::Ok) return check;
  PidFactors f = pid_.Factors();
  switch (address) {
    case reg::SP:
    case reg::SPWrite: setpoint_ = Signed(value); break;
    case reg::Mode: automatic_ = value == 1; break;
    case reg::ManualOut: manualOutput_ = value / 10.0; break;
    case reg::Ki: f.Integral = value / 100.0; break;
    case reg::Kd: f.Derivative = value; break;
    case reg::Kp: f.ProportionalBand = value / 10.0; break;
    case reg::Hys: f.Hysteresis = value; break;
    default: break;
  }
  pid_.SetFactors(f);
  return WriteResult::Ok;
}

}  // namespace korvane::sim
