#pragma once
// Helpers for the main window's tests: a window whose COM1 is a
// pseudo-terminal, event pumping, frame builders and a wire relay that joins
// the window's line to a slave peer while recording what the window sent.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/main/MainForm.h"
#include "support/TempDir.h"
#include "support/TestSupport.h"

namespace korvane::test {

// Runs the GUI thread's events until pred holds or the time is up.
bool WaitUntil(const std::function<bool()>& pred, Millis timeout = Millis(3000));
// Runs the GUI thread's events for the whole time.
void PumpFor(Millis time);

// A main window whose COM1 is the given device, timers stopped so the test
// drives every tick itself.
std::unique_ptr<TMainForm> MakeWindowOn(const std::string& device, const TempDir& dir);
// Configures COM1 at `baud` 8N1 through the port control and switches it on.
void OpenWindowPort(TMainForm& form, int baud = 9600);

// RTU reply to a holding-register read: address 1, function 3, the values,
// then the CRC.
std::string RtuReadReply(const std::vector<std::uint16_t>& values);
// RTU exception reply 01 83 code CRC.
std::string RtuException(std::uint8_t code);
// The RTU frame with its CRC appended.
std::string WithCrc(std::string frame);
// First register (1-based) and count of an RTU or ASCII read request.
struct ReadRequest {
  int start = 0;
  int count = 0;
};
ReadRequest ParseRtuRead(const std::string& frame);
ReadRequest ParseAsciiRead(const std::string& frame);

// Joins two pseudo-terminals: what the window writes on `window` goes to
// `peer` and is recorded; what the peer answers goes back.
class WireRelay {
 public:
  WireRelay(PtyPair& window, PtyPair& peer);
  ~WireRelay();
  WireRelay(const WireRelay&) = delete;
  WireRelay& operator=(const WireRelay&) = delete;

  std::string SentByWindow() const;
  void ClearSent();

 private:
  void Run();
  PtyPair& window_;
  PtyPair& peer_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::string sent_;
  std::thread thread_;
};

}  // namespace korvane::test
