#pragma once
// Link health of one controller session: the link counters, the frame
// monitor's ring and the port's state in words. It observes the poll cycle
// (requests written, pieces received, check results) and the serial
// component's connect, disconnect and text-send events. Everything runs on
// the main thread, like the session itself; a viewer reads it from there.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "link/FrameRing.h"
#include "link/LinkCounters.h"
#include "link/PortState.h"
#include "poll/ControllerSession.h"
#include "poll/PollHooks.h"

namespace korvane {

class LinkMonitor : public ResultObserver {
 public:
  // Attaches to the session, which must outlive this object.
  explicit LinkMonitor(ControllerSession& session, std::size_t frames = 1000);
  ~LinkMonitor() override;
  LinkMonitor(const LinkMonitor&) = delete;
  LinkMonitor& operator=(const LinkMonitor&) = delete;

  LinkCounts Counts() const { return counters_.Snapshot(); }
  // The same for each controller of the line, by slave address (a request
  // and its reply count for the controller whose turn it was).
  std::map<std::int32_t, LinkCounts> CountsByAddress() const;
  void ResetCounts();
  // Grows with every event and reset: a viewer redraws only when it moved.
  std::uint64_t Changes() const { return changes_; }
  // Called after anything a viewer shows may have changed (counters, port
  // state, a frame kept): a viewer refreshes when told instead of looking
  // at intervals, so an idle link wakes nobody. `settled` is true when a
  // reply has just been checked: the exchange is complete, nothing more is
  // due before the next request.
  using ChangeHook = std::function<void(bool settled)>;
  void AddChangeHook(ChangeHook hook) { hooks_.push_back(std::move(hook)); }
  std::string PortWords() const { return port_.Words(); }

  const FrameRing& Frames() const { return ring_; }
  // While paused no frame is recorded (the counters go on).
  void SetPaused(bool paused);
  bool Paused() const { return paused_; }
  void ClearFrames();
  // The frames kept, one FrameLine each with CR LF, as a text.
  std::string FramesText() const;
  // Replaces `path` with FramesText(); throws FileError, leaving it unchanged.
  void SaveFrames(const std::string& path) const;

  // ResultObserver
  void RequestSent(bool) override {}
  void ReplyChecked(std::int32_t result, bool write) override;
  void FrameSent(std::string_view frame, std::uint32_t tick) override;
  void PieceReceived(std::string_view piece, std::uint32_t tick) override;

 private:
  void Record(FrameDirection direction, std::string_view bytes, bool text, std::int32_t result);
  void FlushReceived(std::int32_t result);
  void Changed();  // counts a change and tells the hooks
  void Touched(bool settled = false) const;
  LinkCounters& AskedCounters();

  ControllerSession& session_;
  LinkCounters counters_;
  std::map<std::int32_t, LinkCounters> byAddress_;
  FrameRing ring_;
  PortStateWords port_;
  bool paused_ = false;
  std::uint64_t changes_ = 0;
  std::vector<ChangeHook> hooks_;
  std::string received_;          // bytes of the reply being collected
  std::int64_t receivedAt_ = 0;   // wall time of its first piece
  std::uint32_t lastPieceTick_ = 0;
  TSerialPort::TConnectEvent priorConnect_;
  TSerialPort::TConnectEvent priorDisconnect_;
  TSerialPort::TSendReceiveEvent priorSend_;
};

}  // namespace korvane
