#pragma once
// The controller law of a panel PID controller (reverse acting, as for
// heating): proportional band in percent of the input span, integral in
// repeats per minute, derivative in seconds (on the measurement, so a
// setpoint step gives no kick). Output 0..100 % with anti-windup by
// conditional integration. A proportional band of 0 turns the controller
// into an on/off controller, switched every step: 100 % while PV < SP - h,
// 0 % while PV > SP + h (h the hysteresis), unchanged in between. A controller in the
// series (interacting) form takes its factors as Kc' (1 + 1/(Ti' s)) (1 + Td' s)
// and acts as the ideal controller of
//   Kc = Kc' (1 + Td'/Ti'), Ti = Ti' + Td', Td = Ti' Td' / (Ti' + Td').

namespace korvane::sim {

struct PidFactors {
  double ProportionalBand = 8.0;  // percent of span; 0 = on/off control
  double Integral = 2.5;          // repeats per minute
  double Derivative = 0.0;        // seconds
  double Hysteresis = 1.0;        // engineering units, on/off control only
  bool Series = false;            // the three factors are those of the series form
};

// The ideal-form factors a controller with `factors` acts with.
PidFactors IdealFactors(const PidFactors& factors);

class PidController {
 public:
  PidController(double spanLow, double spanHigh);

  // One control step of dt seconds; returns the output in percent.
  double Step(double setpoint, double measured, double dt);

  // New factors take effect at the next step.
  void SetFactors(const PidFactors& factors);
  const PidFactors& Factors() const { return factors_; }
  double Output() const { return output_; }
  double Span() const { return spanHigh_ - spanLow_; }

 private:
  double spanLow_;
  double spanHigh_;
  PidFactors factors_;
  double integral_ = 0;   // integral action in percent of output
  double filteredPv_ = 0;
  bool havePv_ = false;
  double output_ = 0;
  bool relayOn_ = false;
  bool relayMode_ = false;  // the last step was on/off control
};

}  // namespace korvane::sim
