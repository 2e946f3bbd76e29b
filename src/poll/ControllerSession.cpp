#include "poll/ControllerSession.h"

#include <chrono>
#include <string>
#include <utility>

namespace korvane {

ControllerSession::ControllerSession(MainThreadDispatcher& mainThread,
                                     std::shared_ptr<SerialDeviceOpener> opener, TickSource tick,
                                     ValueView& view)
    : port(mainThread, std::move(opener)),
      control(port, settings.Link),
      master(settings, state, image,
             [this](const std::string& frame) {
               control.SendCommStr(frame);
               if (control.PortActive() && !frame.empty()) poll.FrameWritten(frame);
             },
             tick),
      poll(settings, state, image, master, view, history, tick) {
  port.OnReceive = [this, tick](TSerialPort& sender, const std::string& buffer) {
    poll.Serial1PortReceive(buffer, ArrivalTick(tick(), sender.ReceivedAt()));
  };
  // The framing follows the device: a COM name mapped to tcp:// speaks
  // Modbus TCP whatever RTU/ASCII setting the dialog holds.
  master.SetMbapSource([this] { return port.ConnectedFraming() == DeviceFraming::Mbap; });
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
}

}  // namespace korvane
