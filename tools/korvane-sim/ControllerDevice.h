#pragma once
// The simulated panel controller: its register map, the PID controller and
// the process behind it. Register values are the raw 16-bit words of the
// wire, laid out by the device's map (SimMaps.h). With the default map the
// units match Korvane's default factors (PV and SP x1, output in tenths of a
// percent, Ki x0.01 repeats/min, Kd in seconds, Kp as the proportional band
// in tenths of a percent, hysteresis x1).

#include <cstdint>
#include <optional>
#include <span>

#include "PidController.h"
#include "ProcessModel.h"
#include "SimMaps.h"

namespace korvane::sim {

// Addresses of the default map.
namespace reg {
constexpr int SP = 0;          // setpoint, engineering units (read/write)
constexpr int PV = 1;          // process value (read only)
constexpr int Out = 2;         // controller output, 0.1 % (read only)
constexpr int Mode = 3;        // 1 automatic, 0 manual (read/write)
constexpr int ManualOut = 4;   // output in manual mode, 0.1 % (read/write)
constexpr int SpanLow = 5;     // input span the proportional band refers to (read only)
constexpr int SpanHigh = 6;
constexpr int Ki = 11;         // integral, 0.01 repeats per minute (read/write)
constexpr int Kd = 12;         // derivative time, seconds (read/write)
constexpr int Kp = 13;         // proportional band, 0.1 % of span; 0 = on/off (read/write)
constexpr int Hys = 17;        // on/off hysteresis, engineering units (read/write)
constexpr int SPWrite = 25;    // setpoint as written by Korvane (read/write, same as SP)
constexpr int Count = 32;      // registers 0..31 exist; the rest answer exception 2
}  // namespace reg

struct DeviceParams {
  ProcessParams Process;
  PidFactors Factors;
  // Starts cold (PV at ambient 20) with the setpoint at 60: the first minute
  // is a step response that stays inside a 0..100 chart axis.
  double Setpoint = 60.0;
  double SpanLow = 0.0;
  double SpanHigh = 400.0;
  const SimMap* Map = &DefaultSimMap();
};

class ControllerDevice {
 public:
  explicit ControllerDevice(const DeviceParams& params);

  // Advances the controller and the process by `seconds` of process time,
  // in steps of ProcessModel::kStep (the remainder is carried to the next call).
  void Advance(double seconds);

  // Raw register word; nothing outside the map's areas.
  std::optional<std::uint16_t> Read(RegisterTable table, int address) const;
  std::optional<std::uint16_t> Read(int address) const { return Read(RegisterTable::Holding, address); }
  // Result of a register write as Modbus sees it.
  enum class WriteResult { Ok, IllegalAddress, IllegalValue };
  // Writes holding registers start.. with `words`, all or nothing: every
  // register must belong to a writable value, a 32-bit value must be
  // written whole, and every value must be one the controller accepts.
  WriteResult Write(int start, std::span<const std::uint16_t> words);
  WriteResult Write(int address, std::uint16_t value) { return Write(address, std::span(&value, 1)); }
  // Whether that write would be accepted.
  WriteResult CheckWrite(int start, std::span<const std::uint16_t> words) const;
  // Sets a quantity as a write of it would (the setpoint within the span, ...).
  WriteResult Set(Quantity what, double value);
  const SimMap& Map() const { return *params_.Map; }

  double Setpoint() const { return setpoint_; }
  double ProcessValue() const { return measured_; }
  double OutputPercent() const { return output_; }
  bool Automatic() const { return automatic_; }
  const PidController& Controller() const { return pid_; }
  const ProcessModel& Process() const { return process_; }
  double ProcessTime() const { return time_; }

 private:
  double Get(Quantity what) const;
  // A Kp or Ki as the map's form holds it, in the controller's band and
  // repeats per minute (and back: the same function).
  double Internal(Quantity what, double value) const;
  WriteResult Check(Quantity what, double value) const;
  void Apply(Quantity what, double value);

  DeviceParams params_;
  ProcessModel process_;
  PidController pid_;
  double setpoint_;
  double measured_;
  double output_ = 0;
  bool automatic_ = true;
  double manualOutput_ = 0;
  double carry_ = 0;
  double time_ = 0;
};

}  // namespace korvane::sim
