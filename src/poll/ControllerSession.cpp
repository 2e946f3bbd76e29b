#include "poll/ControllerSession.h"

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
  port.OnReceive = [this](TSerialPort&, const std::string& buffer) { poll.Serial1PortReceive(buffer); };
  // The framing follows the device: a COM name mapped to tcp:// speaks
  // Modbus TCP whatever RTU/ASCII setting the dialog holds.
  master.SetMbapSource([this] { return port.ConnectedFraming() == DeviceFraming::Mbap; });
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
