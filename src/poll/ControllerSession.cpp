#include "poll/ControllerSession.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

namespace korvane {

ControllerSession::ControllerSession(MainThreadDispatcher& mainThread,
                                     std::shared_ptr<SerialDeviceOpener> opener, TickSource tick,
                                     ValueView& view)
    : port(mainThread, std::move(opener)),
      control(port, settings.Link),
      master(settings, state, image, [this](const std::string& frame) { SendFrame(poll, frame); }, tick),
      firstView(view),
      poll(settings, state, image, master, firstView, history, tick),
      line(tick),
      view_(view),
      tick_(std::move(tick)) {
  port.OnReceive = [this](TSerialPort& sender, const std::string& buffer) {
    line.Receive(buffer, ArrivalTick(tick_(), sender.ReceivedAt()));
  };
  // The framing follows the device: a COM name mapped to tcp:// speaks
  // Modbus TCP whatever RTU/ASCII setting the dialog holds.
  master.SetMbapSource([this] { return port.ConnectedFraming() == DeviceFraming::Mbap; });
  line.SetFrameGap([this] { return poll.FrameGapMs(); });
  line.SetBeforeTurn([this](std::size_t index) {
    if (index > 0 && index <= others_.size()) others_[index - 1]->FollowLine(settings);
  });
  WireLine();
}

void ControllerSession::SendFrame(PollCycle& cycle, const std::string& frame) {
  control.SendCommStr(frame);
  if (control.PortActive() && !frame.empty()) cycle.FrameWritten(frame);
}

ControllerSession::Member ControllerSession::Controller(std::size_t index) {
  if (index == 0 || index > others_.size()) return {settings.FirstName, settings, poll, history, firstView};
  PolledController& c = *others_[index - 1];
  return {c.Controller().Name, c.settings, c.poll, c.history, c.view};
}

void ControllerSession::Select(std::size_t index) {
  if (index >= ControllerCount()) index = 0;
  selected_ = index;
  // The one selected last: the window then holds its values only.
  for (std::size_t i = 0; i < ControllerCount(); ++i) {
    if (i != index) Controller(i).view.SetSelected(false);
  }
  Controller(index).view.SetSelected(true);
  if (OnSelected) OnSelected(index);
}

void ControllerSession::SyncControllers() {
  // Where each controller of the new list was in the old one (a controller
  // that stayed the same keeps its cycle), and where the selected one went.
  std::vector<std::size_t> from(settings.Others.size(), others_.size());
  std::size_t selectedNow = 0;
  for (std::size_t i = 0; i < settings.Others.size(); ++i) {
    for (std::size_t j = 0; j < others_.size(); ++j) {
      const bool taken = std::find(from.begin(), from.end(), j) != from.end();
      if (taken || !(others_[j]->Controller() == settings.Others[i])) continue;
      from[i] = j;
      if (selected_ == j + 1) selectedNow = i + 1;
      break;
    }
  }
  // The window lets go of a selected controller that goes while it still exists.
  if (selected_ != 0 && selectedNow == 0) Select(0);

  std::vector<std::unique_ptr<PolledController>> next(settings.Others.size());
  for (std::size_t i = 0; i < settings.Others.size(); ++i) {
    if (from[i] < others_.size()) {
      next[i] = std::move(others_[from[i]]);
      continue;
    }
    next[i] = std::make_unique<PolledController>(
        settings, settings.Others[i], view_, history,
        [this](PolledController& c, const std::string& frame) { SendFrame(c.poll, frame); },
        [this] { return port.ConnectedFraming() == DeviceFraming::Mbap; }, tick_);
    next[i]->view.SetSelected(false);
    for (ResultObserver* observer : lineObservers_) next[i]->poll.AddResultObserver(observer);
  }
  for (auto& old : others_) {
    if (old && OnControllerGoes) OnControllerGoes(old->poll);
  }
  others_ = std::move(next);  // a controller removed goes here, its pending write with it
  WireLine();
  if (selectedNow != selected_) Select(selectedNow);
}

bool ControllerSession::ControllerStays(std::size_t index) const {
  if (index == 0) return true;
  if (index > others_.size()) return false;
  const LineController& c = others_[index - 1]->Controller();
  return std::find(settings.Others.begin(), settings.Others.end(), c) != settings.Others.end();
}

std::vector<LineController> ControllerSession::RunningOthers() const {
  std::vector<LineController> list;
  for (const auto& c : others_) list.push_back(c->Controller());
  return list;
}

void ControllerSession::WireLine() {
  std::vector<PollCycle*> cycles{&poll};
  const bool several = !others_.empty();
  firstView.SetRefusalPrefix(several ? settings.FirstName + ": " : std::string());
  for (auto& c : others_) {
    c->FollowLine(settings);
    c->view.SetRefusalPrefix(c->Controller().Name + ": ");
    c->poll.SetTickHook(tickHooks_ ? tickHooks_(cycles.size()) : nullptr);
    cycles.push_back(&c->poll);
  }
  line.SetCycles(std::move(cycles));
}

void ControllerSession::AddLineObserver(ResultObserver* observer) {
  lineObservers_.push_back(observer);
  poll.AddResultObserver(observer);
  for (auto& c : others_) c->poll.AddResultObserver(observer);
}

void ControllerSession::RemoveLineObserver(ResultObserver* observer) {
  std::erase(lineObservers_, observer);
  poll.RemoveResultObserver(observer);
  for (auto& c : others_) c->poll.RemoveResultObserver(observer);
}

void ControllerSession::SetTickHooks(std::function<TickHook*(std::size_t)> hooks) {
  tickHooks_ = std::move(hooks);
  poll.SetTickHook(tickHooks_ ? tickHooks_(0) : nullptr);
  for (std::size_t i = 0; i < others_.size(); ++i) others_[i]->poll.SetTickHook(tickHooks_ ? tickHooks_(i + 1) : nullptr);
}

std::uint32_t ArrivalTick(std::uint32_t now, std::chrono::steady_clock::time_point readAt) {
  const auto age = std::chrono::steady_clock::now() - readAt;
  // A piece not read by the receive thread (no time, or an odd one) counts as read now.
  if (readAt == std::chrono::steady_clock::time_point{} || age < age.zero() || age > std::chrono::minutes(1)) {
    return now;
  }
  return now - static_cast<std::uint32_t>(std::chrono::round<std::chrono::milliseconds>(age).count());
}

ControllerSession::~ControllerSession() {
  try {
    control.CloseComm();
  } catch (...) {
    // Nothing can be shown any more; the port is closed below regardless.
  }
  // A port left open under port number 0 would keep its receive thread
  // calling into the poll cycle after it is gone: close it here for certain.
  port.OnReceive = nullptr;
  port.Close();
  others_.clear();
}

}  // namespace korvane
