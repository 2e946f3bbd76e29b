#pragma once
// A component whose COM5 is a pseudo-terminal: the test plays the far end of
// the line on the master side.

#include <filesystem>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"
#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"
#include "support/TestSupport.h"
#include "SerialTestSupport.h"

namespace korvane::test {

class PtyPortFixture : public ::testing::Test {
 protected:
  PtyPortFixture() {
    if (!map_.Add("COM5", pty_->SlavePath())) throw std::runtime_error("cannot map COM5");
    port_.SetPort(spCOM5);
    events_.Attach(port_);
  }

  bool Pump(const std::function<bool()>& pred,
            std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    return main_.PumpUntil(pred, timeout);
  }

  // Points COM5 at a fresh pseudo-terminal (the old one is gone).
  void ReplaceDevice() {
    pty_ = std::make_unique<PtyPair>();
    std::error_code ec;
    std::filesystem::remove(map_.Directory() + "/COM5", ec);
    if (!map_.Add("COM5", pty_->SlavePath())) throw std::runtime_error("cannot map COM5");
  }

  TempDir dir_;
  ComNameMap map_{dir_.Path() + "/ports"};
  std::unique_ptr<PtyPair> pty_ = std::make_unique<PtyPair>();
  QueueDispatcher main_;
  EventLog events_;  // before the port: its destructor still raises OnDisconnect
  TSerialPort port_{main_, MappedSerialDeviceOpener(map_)};
};

}  // namespace korvane::test
