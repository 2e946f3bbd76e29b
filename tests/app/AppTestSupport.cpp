#include "AppTestSupport.h"

#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>

#include <cstdlib>
#include <stdexcept>

#include "master/CoreCode.h"
#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"

namespace korvane::test {

bool WaitUntil(const std::function<bool()>& pred, Millis timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(Millis(2));
  }
  return true;
}

void PumpFor(Millis time) {
  WaitUntil([] { return false; }, time);
}

std::unique_ptr<TMainForm> MakeWindowOn(const std::string& device, const TempDir& dir) {
  ComNameMap map(dir.Path() + "/ports");
  std::string error;
  if (!map.Add("COM1", device, &error)) throw std::runtime_error("COM1 map: " + error);
  auto form = std::make_unique<TMainForm>(MappedSerialDeviceOpener(map));
  form->PollTimer().stop();
  return form;
}

void OpenWindowPort(TMainForm& form, int baud) {
  form.AppSettings().Link.Baud = baud;
  form.Ports().OpenComm(1, 1024, 1024, baud, 8, 0, 1);
  form.Ports().PortActivate();
}

std::string WithCrc(std::string frame) {
  const std::int32_t crc = CRC16(frame, static_cast<std::int32_t>(frame.size()));
  frame += static_cast<char>((crc >> 8) & 0xFF);
  frame += static_cast<char>(crc & 0xFF);
  return frame;
}

std::string RtuReadReply(const std::vector<std::uint16_t>& values) {
  std::string frame{'\x01', '\x03', static_cast<char>(values.size() * 2)};
  for (std::uint16_t v : values) {
    frame += static_cast<char>(v >> 8);
    frame += static_cast<char>(v & 0xFF);
  }
  return WithCrc(frame);
}

std::string RtuException(std::uint8_t code) {
  return WithCrc(std::string{'\x01', static_cast<char>(0x83), static_cast<char>(code)});
}

ReadRequest ParseRtuRead(const std::string& frame) {
  if (frame.size() < 6) return {};
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(frame[i]); };
  return {byte(2) * 256 + byte(3) + 1, byte(4) * 256 + byte(5)};
}

ReadRequest ParseAsciiRead(const std::string& frame) {
  // ":" AA FF SSSS CCCC LRC CR LF
  if (frame.size() < 13 || frame[0] != ':') return {};
  const int start = std::stoi(frame.substr(5, 4), nullptr, 16);
  const int count = std::stoi(frame.substr(9, 4), nullptr, 16);
  return {start + 1, count};
}

WireRelay::WireRelay(PtyPair& window, PtyPair& peer)
    : window_(window), peer_(peer), thread_([this] { Run(); }) {}

WireRelay::~WireRelay() {
  stop_ = true;
  thread_.join();
}

std::string WireRelay::SentByWindow() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sent_;
}

void WireRelay::ClearSent() {
  std::lock_guard<std::mutex> lock(mutex_);
  sent_.clear();
}

void WireRelay::Run() {
  pollfd fds[2] = {{window_.MasterFd(), POLLIN, 0}, {peer_.MasterFd(), POLLIN, 0}};
  char buffer[4096];
  while (!stop_) {
    if (::poll(fds, 2, 20) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      const ssize_t n = ::read(window_.MasterFd(), buffer, sizeof buffer);
      if (n > 0) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          sent_.append(buffer, static_cast<std::size_t>(n));
        }
        peer_.Write(std::string_view(buffer, static_cast<std::size_t>(n)));
      }
    }
    if (fds[1].revents & POLLIN) {
      const ssize_t n = ::read(peer_.MasterFd(), buffer, sizeof buffer);
      if (n > 0) window_.Write(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
  }
}

}  // namespace korvane::test
