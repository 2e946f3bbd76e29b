#include "poll/PolledController.h"

#include <utility>

namespace korvane {

Settings ControllerSettings(const Settings& line, const LineController& controller) {
  Settings s;
  s.Link = line.Link;
  s.Link.SlaveAddress = controller.Address;
  s.Poll = line.Poll;
  s.Map = controller.Map;
  s.FirstName = controller.Name;
  return s;
}

PolledController::PolledController(const Settings& line, const LineController& controller, ValueView& window,
                                   ChartHistory& lineClock,
                                   std::function<void(PolledController&, const std::string&)> send,
                                   std::function<bool()> mbap, TickSource tick)
    : settings(ControllerSettings(line, controller)),
      master(settings, state, image,
             [this, send = std::move(send)](const std::string& frame) { send(*this, frame); }, tick),
      view(window),
      poll(settings, state, image, master, view, history, tick),
      controller_(controller) {
  history.FollowClockOf(lineClock);
  master.SetMbapSource(std::move(mbap));
}

void PolledController::FollowLine(const Settings& line) {
  settings.Link = line.Link;
  settings.Link.SlaveAddress = controller_.Address;
  settings.Poll = line.Poll;
}

}  // namespace korvane
