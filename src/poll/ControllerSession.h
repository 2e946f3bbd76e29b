#pragma once
// Korvane's core for one controller, wired in one place: the settings, the
// master's state and register image, the serial port with its port control,
// the Modbus master, the chart history and the poll cycle. The main window
// and every test harness build this object; they hand in what differs
// between them: the main-thread dispatcher, the device opener, the clock and
// the view of the status line and value boxes.

#include <chrono>
#include <cstdint>
#include <memory>

#include "base/Settings.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"
#include "plot/ChartHistory.h"
#include "poll/PollCycle.h"
#include "poll/ValueView.h"
#include "ports/PortControl.h"
#include "serial/MainThread.h"
#include "serial/SerialDevice.h"
#include "serial/SerialPort.h"

namespace korvane {

// The tick count, on the clock whose present reading is `now`, at which the
// receive thread read a piece (`readAt`, TSerialPort::ReceivedAt): reply
// times then run from the request written to the last byte read, whatever
// tick source the session was given.
std::uint32_t ArrivalTick(std::uint32_t now, std::chrono::steady_clock::time_point readAt);

class ControllerSession {
 public:
  // Every received piece goes to the poll cycle; frames the master composes
  // go to the line through the port control.
  ControllerSession(MainThreadDispatcher& mainThread, std::shared_ptr<SerialDeviceOpener> opener,
                    TickSource tick, ValueView& view);
  // Closes the port for certain, so no receive event reaches a caller that
  // is being torn down.
  ~ControllerSession();
  ControllerSession(const ControllerSession&) = delete;
  ControllerSession& operator=(const ControllerSession&) = delete;

  Settings settings;
  MasterState state;
  RegisterImage image;
  TSerialPort port;
  PortControl control;
  TMaster master;
  ChartHistory history;
  PollCycle poll;
};

}  // namespace korvane
