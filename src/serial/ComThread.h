#pragma once
// TComThread: the receive thread of TSerialPort. Constructed on the main
// thread, it opens and configures the device; its loop watches the modem
// lines once per Delay, waits on the device for received bytes and hands
// each batch to the main thread once the line is quiet (at most Delay after
// its first byte); its teardown raises OnDisconnect, purges and closes the
// device.
//
// The component owns the object; the thread body never touches anything
// after it has marked itself finished, and the component joins it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "serial/ReceiveGather.h"
#include "serial/SerialDevice.h"
#include "serial/SerialTypes.h"

namespace korvane {

class TSerialPort;

class TComThread {
 public:
  // Opens PortName and applies line settings, time-outs and queue sizes. On
  // success ConnectedPort names the port and OnConnect has run (here, on the
  // main thread); on any failure ConnectedPort stays spNone.
  explicit TComThread(TSerialPort& port);
  // Requires the thread to have been joined (or never started); closes a
  // device that is still open.
  ~TComThread();

  TComThread(const TComThread&) = delete;
  TComThread& operator=(const TComThread&) = delete;

  // Starts the loop; only for a connected thread.
  void Start();
  void RequestStop();
  bool StopRequested() const { return stop_.load(); }
  TCommPort ConnectedPort() const { return connectedPort_.load(); }
  // The body has returned (or never ran): joining will not block.
  bool Finished() const { return finished_.load(); }
  void Join();
  // The device while it is open; nullptr otherwise.
  SerialDevice* Device() const;
  // CPU time of the running thread; nothing before Start or after it ended.
  std::optional<std::chrono::nanoseconds> CpuTime() const;

 private:
  void Execute();
  void RunLoop();
  void CheckLines();
  void Teardown();
  TLineStatusSet ReadLineStatus();
  void DoLineStatusChange(TLineStatusSet lines);
  // Hands a delivery to OnReceive; readAt is when its last byte was read.
  void DoReceive(std::string data, ReceiveClock::time_point readAt);
  void DoDisconnect();
  void Pause(ReceiveClock::duration length);
  void ApplyPriority();

  TSerialPort& port_;
  std::unique_ptr<SerialDevice> device_;   // set at construction, closed by the teardown
  std::atomic<TCommPort> connectedPort_{spNone};
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{true};
  TLineStatusSet lastLineStatus_ = 0;      // the receive thread's copy
  TThreadPriority appliedPriority_ = tpNormal;
  std::mutex wakeMutex_;
  std::condition_variable wake_;
  std::thread thread_;
};

}  // namespace korvane
