#include "link/LinkMonitor.h"

#include <chrono>
#include <utility>

#include "base/SafeWrite.h"
#include "link/FrameDecode.h"

namespace korvane {

namespace {

std::int64_t WallMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Received bytes that end no reply are shown once this many have gathered.
constexpr std::size_t kReceiveLimit = 512;

}  // namespace

LinkMonitor::LinkMonitor(ControllerSession& session, std::size_t frames)
    : session_(session), ring_(frames) {
  TSerialPort& port = session_.port;
  priorConnect_ = std::move(port.OnConnect);
  priorDisconnect_ = std::move(port.OnDisconnect);
  priorSend_ = std::move(port.OnSend);
  port.OnConnect = [this](TSerialPort& sender, TCommPort p) {
    port_.Opened(TSerialPort::NameFromPort(p), std::time(nullptr));
    Changed();
    if (priorConnect_) priorConnect_(sender, p);
  };
  // Switching the port off clears PortActive before the component closes;
  // a disconnect while it is still set is the device going away.
  port.OnDisconnect = [this](TSerialPort& sender, TCommPort p) {
    port_.Closed(!session_.control.PortActive(), std::time(nullptr));
    Changed();
    if (priorDisconnect_) priorDisconnect_(sender, p);
  };
  // Texts written with WriteString ("Open Port") arrive here with their
  // bytes; request frames come from the poll cycle instead.
  port.OnSend = [this](TSerialPort& sender, const std::string& text) {
    if (!text.empty()) {
      Changed();
      counters_.OtherBytesSent(text.size());
      Record(FrameDirection::Sent, text, true, 0);
    }
    if (priorSend_) priorSend_(sender, text);
  };
  session_.AddLineObserver(this);
}

LinkMonitor::~LinkMonitor() {
  session_.RemoveLineObserver(this);
  TSerialPort& port = session_.port;
  port.OnConnect = std::move(priorConnect_);
  port.OnDisconnect = std::move(priorDisconnect_);
  port.OnSend = std::move(priorSend_);
}

void LinkMonitor::Record(FrameDirection direction, std::string_view bytes, bool text, std::int32_t result) {
  if (paused_) return;
  FrameRecord record;
  record.WallMs = direction == FrameDirection::Received ? receivedAt_ : WallMs();
  record.Direction = direction;
  record.Rtu = session_.settings.Link.RtuMode;
  record.Mbap = session_.master.Mbap();
  record.Text = text;
  record.Result = result;
  record.Bytes.assign(bytes);
  ring_.Push(record);
  Touched();
}

void LinkMonitor::Changed() {
  ++changes_;
  Touched();
}

void LinkMonitor::Touched(bool settled) const {
  for (const auto& hook : hooks_) hook(settled);
}

void LinkMonitor::FlushReceived(std::int32_t result) {
  if (received_.empty()) return;
  Record(FrameDirection::Received, received_, false, result);
  received_.clear();
}

LinkCounters& LinkMonitor::AskedCounters() {
  return byAddress_[session_.Controller(session_.line.Asked()).settings.Link.SlaveAddress];
}

std::map<std::int32_t, LinkCounts> LinkMonitor::CountsByAddress() const {
  std::map<std::int32_t, LinkCounts> counts;
  for (const auto& [address, counters] : byAddress_) counts[address] = counters.Snapshot();
  return counts;
}

void LinkMonitor::ResetCounts() {
  counters_.Reset();
  byAddress_.clear();
  Changed();
}

void LinkMonitor::FrameSent(std::string_view frame, std::uint32_t tick) {
  Changed();
  FlushReceived(0);  // bytes that completed no reply before this request
  counters_.RequestSent(frame.size(), tick);
  AskedCounters().RequestSent(frame.size(), tick);
  Record(FrameDirection::Sent, frame, false, 0);
}

void LinkMonitor::PieceReceived(std::string_view piece, std::uint32_t tick) {
  Changed();
  counters_.BytesReceived(piece.size());
  AskedCounters().BytesReceived(piece.size());
  lastPieceTick_ = tick;
  if (paused_) return;
  if (received_.empty()) receivedAt_ = WallMs();
  received_.append(piece);
}

void LinkMonitor::ReplyChecked(std::int32_t result, bool) {
  counters_.ReplyChecked(result, lastPieceTick_);
  AskedCounters().ReplyChecked(result, lastPieceTick_);
  if (result != 0 || received_.size() >= kReceiveLimit) FlushReceived(result);
  Touched(true);
}

void LinkMonitor::SetPaused(bool paused) {
  paused_ = paused;
  received_.clear();
}

void LinkMonitor::ClearFrames() {
  ring_.Clear();
  received_.clear();
}

std::string LinkMonitor::FramesText() const {
  std::string text;
  for (std::size_t i = 0; i < ring_.Size(); ++i) text += FrameLine(ring_.At(i)) + "\r\n";
  return text;
}

void LinkMonitor::SaveFrames(const std::string& path) const { ReplaceFileContents(path, FramesText()); }

}  // namespace korvane
