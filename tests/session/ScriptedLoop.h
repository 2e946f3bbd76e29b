#pragma once
// A scripted loop for the tuning session's tests: a first-order process with
// dead time (or one with a second lag, or a level that integrates) under a
// PI controller in the controller's units, polled once a second, with writes
// answered on the tick they are sent, and the faults a session must survive
// switched on and off by the test. Every write put on
// the line is kept in `Wire`, with what the test needs to judge it.

#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "master/MasterCode.h"
#include "session/TuningSession.h"

namespace korvane::test {

class ScriptedLoop {
 public:
  enum class Answer { Ok, Refuse, Silent };
  // Process: K units per %, tau, theta s; controller band %, Ki repeats/min.
  // A second lag Tau2 s after the first when above 0; Integrating: PV moves
  // K units/s per % the output is off where it rested at the last Reset.
  double K = 2.0, Tau = 20.0, Theta = 4.0, Span = 400.0, Tau2 = 0.0;
  bool Integrating = false;
  double SP = 100.0, Band = 50.0, Ki = 0.5, Kd = 0.0;
  // A band of 0 is the on/off mode: the output 100 % below SP - Hys, 0 %
  // above SP + Hys, unchanged between; HysCount the register's resolution
  // (0: the map has no hysteresis register).
  double Hys = 1.0, HysCount = 0.1;
  // Band and Ki as this form holds them (a gain, an integral time in s: the
  // loop follows; other units are only passed to the session).
  PidForm Form;
  double PvCount = 0.0;    // PV register resolution (0: PV not rounded)
  double TimeScale = 1.0;  // process s per tick s, for the session's texts
  bool DevicePresent = true, PortOpen = true;
  Answer WriteAnswer = Answer::Ok;
  // An unanswered write is reported as timed out on the next tick, as the
  // poll cycle does; off, it is never reported.
  bool TimeOutReplies = false;
  double Time = 0.0;
  std::vector<TuningSample> Samples;

  struct WireWrite {
    std::string What;
    double Old = 0.0, New = 0.0;
    bool Hand = false;       // typed by hand
    bool Landed = false;     // the controller took it
    bool AfterStop = false;  // the session had stopped running when it went out
  };
  std::vector<WireWrite> Wire;
  // Session writes handed over while another of its writes was waiting to go
  // out or waiting for its answer.
  int Overlaps = 0;

  explicit ScriptedLoop(double out0 = 40.0, double pvOffset = 0.0) { Reset(out0, pvOffset); }
  // At the setpoint (PV `pvOffset` away from it) with the output at `out0`,
  // for the process and factors as set now; the record starts again.
  void Reset(double out0 = 40.0, double pvOffset = 0.0) {
    out_ = y_ = y2_ = balance_ = out0;
    offset_ = SP - K * out0 + pvOffset;
    integral_ = out0 - Kc() * (SP - Exact()) * 100.0 / Span;
    lastPv_ = Exact();
    delay_.assign(static_cast<std::size_t>(Theta / kDt), out0);
    Samples.clear();
  }

  SessionContext Context() const {
    SessionContext c;
    c.SpanLow = 0.0;
    c.SpanHigh = Span;
    c.Poll = 1.0;
    c.SpResolution = 1.0;
    c.Registers.Form = Form;
    c.PvResolution = PvCount;
    c.HysResolution = HysCount;
    c.TimeScale = TimeScale;
    return c;
  }
  LoopValues Now() const { return {SP, Pv(), out_, {Band, Ki, Kd}, Hys}; }
  ReadinessInput Input() const { return {PortOpen, true, true, Now(), Samples}; }
  double Pv() const { return PvCount > 0.0 ? std::round(Exact() / PvCount) * PvCount : Exact(); }
  // A load change: PV moves by `units` at once.
  void Disturb(double units) { offset_ += units; }

  // The session's write callback: one slot, as the poll cycle's pending
  // write (the last asked for wins).
  void Write(ValueBox box, double value) {
    if (std::isnan(value)) return pending_.reset();  // taken back
    if ((pending_ && !pendingHand_) || (awaiting_ && !awaitingHand_)) ++Overlaps;
    pending_ = {box, value};
    pendingHand_ = false;
  }
  // A write typed by hand into the same slot, sent on the next tick.
  void HandType(ValueBox box, double value) {
    pending_ = {box, value};
    pendingHand_ = true;
  }

  // Runs `seconds` at rest without a session (the record before it).
  void Settle(double seconds) {
    for (double end = Time + seconds; Time < end;) Advance(nullptr);
  }
  // One poll tick with the session watching.
  void Tick(TuningSession& session) {
    Advance(&session);
    session.Tick(PortOpen);
  }
  // Ticks until the session stops running or `limit` s passed.
  void Run(TuningSession& session, double limit = 2000.0) {
    for (double end = Time + limit; Time < end && session.Running() &&
                                    session.Stage() != SessionStage::Proposed;) {
      Tick(session);
    }
  }
  // A write typed by hand: sent and answered as the poll cycle would.
  void HandWrite(TuningSession& session, double band) {
    const double old = Band;
    Band = band;
    Wire.push_back({"Kp", old, band, true, true, false});
    session.WriteSent("Kp", old, band);
    session.ReplyChecked(PollResult::DataOk, true);
  }

 private:
  static constexpr double kDt = 0.1;
  // % output per % of the span, and repeats per minute.
  double Kc() const { return Form.K == ProportionalUnit::Gain ? Band : 100.0 / Band; }
  double Rate() const {
    return Form.Ki != IntegralUnit::TimeSeconds ? Ki : Ki > 0.0 ? 60.0 / Ki : 0.0;
  }
  double Exact() const { return offset_ + K * (Tau2 > 0.0 ? y2_ : y_); }

  void Integrate() {
    for (int i = 0; i < 10; ++i) {
      delay_.push_back(out_);
      const double delayed = delay_.front();
      delay_.pop_front();
      y_ += Integrating ? kDt * (delayed - balance_) : kDt / Tau * (delayed - y_);
      if (Tau2 > 0.0) y2_ += kDt / Tau2 * (y_ - y2_);
      if (Band == 0.0) {
        const double pv = Exact();
        out_ = pv < SP - Hys ? 100.0 : pv > SP + Hys ? 0.0 : out_ >= 50.0 ? 100.0 : 0.0;
        // Back under PID control without a bump.
        integral_ = out_;
        lastPv_ = pv;
        continue;
      }
      const double e = (SP - Exact()) * 100.0 / Span;
      // The derivative acts on PV (a setpoint step gives no kick); Kd in
      // process seconds.
      const double pv = Exact();
      const double slope = (pv - lastPv_) * 100.0 / Span / (kDt * TimeScale);
      lastPv_ = pv;
      const double derivative = Kc() * (Form.Kd == DerivativeUnit::Minutes ? 60.0 * Kd : Kd) * slope;
      // The integral is kept in output units, so a new band moves no bump.
      const double free = Kc() * e - derivative + integral_;
      // No integration while the output is held at a limit it is pushed past.
      // Ki in repeats per process minute.
      if (!((free > 100.0 && e > 0.0) || (free < 0.0 && e < 0.0))) integral_ += Kc() * e * Rate() / 60.0 * kDt * TimeScale;
      out_ = std::clamp(Kc() * e - derivative + integral_, 0.0, 100.0);
    }
  }

  void Advance(TuningSession* session) {
    Integrate();
    Time += 1.0;
    if (!PortOpen) {
      // The poll cycle clears a pending write before the closed port refuses it.
      pending_.reset();
      awaiting_ = false;
      return;
    }
    if (awaiting_ && session != nullptr && TimeOutReplies) {
      awaiting_ = false;
      session->ReplyChecked(PollResult::TimeOut, true);
    }
    awaiting_ = false;
    if (pending_ && session != nullptr) {
      const auto [box, value] = *pending_;
      const bool hand = pendingHand_;
      pending_.reset();
      static constexpr std::pair<ValueBox, const char*> kNames[] = {
          {ValueBox::SetPt, "setpoint"}, {ValueBox::K, "Kp"}, {ValueBox::Ki, "Ki"}, {ValueBox::Kd, "Kd"},
          {ValueBox::Hys, "hysteresis"}};
      const char* what = "";
      for (const auto& [b, name] : kNames) {
        if (b == box) what = name;
      }
      double* target = box == ValueBox::SetPt ? &SP
                       : box == ValueBox::K   ? &Band
                       : box == ValueBox::Ki  ? &Ki
                       : box == ValueBox::Hys ? &Hys
                                              : &Kd;
      const double old = *target;
      Wire.push_back({what, old, value, hand, false, !session->Running()});
      session->WriteSent(what, old, value);
      if (!DevicePresent || WriteAnswer == Answer::Silent) {
        awaiting_ = true;
        awaitingHand_ = hand;
        return;
      }
      if (WriteAnswer == Answer::Refuse) {
        session->ReplyChecked(PollResult::ExceptionReply + 2, true);
        return;
      }
      *target = value;
      Wire.back().Landed = true;
      session->ReplyChecked(PollResult::DataOk, true);
      session->WriteAnswered("Write -  Data OK");
      return;
    }
    if (!DevicePresent) return;
    Samples.push_back({Time, SP, Pv(), out_});
    if (session != nullptr) {
      session->ReplyChecked(PollResult::DataOk, false);
      session->Sample(Samples.back());
    }
  }

  double out_ = 0.0, y_ = 0.0, y2_ = 0.0, balance_ = 0.0, offset_ = 0.0, integral_ = 0.0, lastPv_ = 0.0;
  std::deque<double> delay_;
  std::optional<std::pair<ValueBox, double>> pending_;
  bool pendingHand_ = false;
  bool awaiting_ = false;  // a write went out and has no answer yet
  bool awaitingHand_ = false;
};

}  // namespace korvane::test
