// Measures the receive thread on pseudo-terminals, the pass loop and the
// arrival wait side by side in one run: CPU use while the line is idle, and
// the delay from a reply's arrival at the driver to its receive event on the
// main thread, with replies written at random moments.
//
// The pass loop is the same receive thread on a device that cannot wait for
// input: it looks at the queue once per Delay and hands on what it finds.
//
//   serial_latency_bench [replies=400] [idle-seconds=5] [delay-ms=50] [baud=9600]
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"
#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"

using namespace korvane;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Forwards everything but the wait for input, which it cannot do.
class PassLoopDevice : public SerialDevice {
 public:
  explicit PassLoopDevice(std::unique_ptr<SerialDevice> inner) : inner_(std::move(inner)) {}
  bool IsOpen() const override { return inner_->IsOpen(); }
  bool SetState(const Dcb& block) override { return inner_->SetState(block); }
  bool SetTimeouts(const CommTimeouts& t) override { return inner_->SetTimeouts(t); }
  bool SetupQueues(std::uint32_t in, std::uint32_t out) override { return inner_->SetupQueues(in, out); }
  bool ModemStatus(std::uint32_t* status) override { return inner_->ModemStatus(status); }
  bool ClearErrors(CommStatus* status) override { return inner_->ClearErrors(status); }
  std::size_t Read(char* buffer, std::size_t count) override { return inner_->Read(buffer, count); }
  std::size_t Write(const char* bytes, std::size_t count) override { return inner_->Write(bytes, count); }
  bool Purge() override { return inner_->Purge(); }
  void Close() override { inner_->Close(); }

 private:
  std::unique_ptr<SerialDevice> inner_;
};

class PassLoopOpener : public SerialDeviceOpener {
 public:
  explicit PassLoopOpener(std::shared_ptr<SerialDeviceOpener> inner) : inner_(std::move(inner)) {}
  std::unique_ptr<SerialDevice> Open(const std::string& portName) override {
    auto device = inner_->Open(portName);
    if (!device) return nullptr;
    return std::make_unique<PassLoopDevice>(std::move(device));
  }

 private:
  std::shared_ptr<SerialDeviceOpener> inner_;
};

struct Line {
  const char* name = "";
  int master = -1;
  int slave = -1;
  std::unique_ptr<TSerialPort> port;
  std::size_t bytes = 0;       // received since the reply was written
  Clock::time_point readAt;
  std::vector<double> delays;    // arrival -> OnReceive
  std::vector<double> readLags;  // arrival -> the thread's read of the last byte
  int lost = 0;
  double idleCpuMs = 0;
};

double At(std::vector<double> v, double q) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char** argv) {
  const int replies = argc > 1 ? std::atoi(argv[1]) : 400;
  const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 5;
  const unsigned delayMs = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 50;
  const unsigned baud = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 9600;

  char dirTemplate[] = "/tmp/korvane-bench-XXXXXX";
  if (::mkdtemp(dirTemplate) == nullptr) return 1;
  ComNameMap map(std::string(dirTemplate) + "/ports");
  QueueDispatcher mainThread;

  Line lines[2];
  lines[0].name = "pass loop (before)";
  lines[1].name = "arrival wait (after)";
  for (int i = 0; i < 2; ++i) {
    Line& line = lines[i];
    char name[128] = {};
    if (::openpty(&line.master, &line.slave, name, nullptr, nullptr) != 0) {
      std::perror("openpty");
      return 1;
    }
    const std::string com = "COM" + std::to_string(5 + i);
    map.Add(com, name);
    auto opener = MappedSerialDeviceOpener(map);
    line.port = std::make_unique<TSerialPort>(
        mainThread, i == 0 ? std::make_shared<PassLoopOpener>(opener) : opener);
    line.port->SetPortName(com);
    line.port->SetDelay(delayMs);
    line.port->SetBaudRate(TSerialPort::BaudRateFromValue(baud));
    if (line.port->BaudRate() == brCustom) {
      line.port->SetCustomBaudRate(static_cast<std::int32_t>(baud));
      line.port->SetBaudRate(brCustom);
    }
    // A reply may come in pieces: its time is that of the event with its last byte.
    line.port->OnReceive = [&line](TSerialPort& sender, const std::string& buffer) {
      line.bytes += buffer.size();
      line.readAt = sender.ReceivedAt();
    };
    line.port->Open();
  }

  // Idle: nothing arrives; the main thread waits for events meanwhile.
  std::chrono::nanoseconds cpu0[2];
  for (int i = 0; i < 2; ++i) cpu0[i] = lines[i].port->ReceiveThreadCpuTime().value_or(std::chrono::nanoseconds(0));
  const auto wall0 = Clock::now();
  mainThread.PumpFor(std::chrono::seconds(idleSeconds));
  const double idleWallMs = Ms(Clock::now() - wall0);
  for (int i = 0; i < 2; ++i) {
    auto cpu1 = lines[i].port->ReceiveThreadCpuTime().value_or(std::chrono::nanoseconds(0));
    lines[i].idleCpuMs = Ms(cpu1 - cpu0[i]);
  }

  // Latency: a reply of 20 registers (45 bytes, written at once: a pty has
  // no line timing) at a random moment, to one line or the other at random.
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> phaseMs(0, static_cast<int>(delayMs) + 10);
  std::bernoulli_distribution pick(0.5);
  std::string reply(45, '\0');
  for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<char>(i * 7);
  for (int n = 0; n < replies; ++n) {
    Line& line = lines[pick(random) ? 1 : 0];
    mainThread.PumpFor(std::chrono::milliseconds(phaseMs(random)));
    line.bytes = 0;
    const auto arrivedAt = Clock::now();
    if (::write(line.master, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) return 1;
    if (!mainThread.PumpUntil([&] { return line.bytes >= reply.size(); }, std::chrono::seconds(2))) {
      ++line.lost;
      continue;
    }
    line.delays.push_back(Ms(Clock::now() - arrivedAt));
    line.readLags.push_back(Ms(line.readAt - arrivedAt));
  }

  std::printf("receive thread on a pty, Delay %u ms, %u baud (quiet gap %.2f ms)\n", delayMs, baud,
              3.5 * 10.0 * 1000.0 / baud < 1.0 ? 1.0 : 3.5 * 10.0 * 1000.0 / baud);
  std::printf("%-22s %8s %8s %8s %8s %10s %12s\n", "", "p50 ms", "p99 ms", "max ms", "replies",
              "read p99", "idle CPU %");
  for (Line& line : lines) {
    line.port->Close();
    std::printf("%-22s %8.2f %8.2f %8.2f %5zu/%-3d %9.2f %11.3f\n", line.name, At(line.delays, 0.5),
                At(line.delays, 0.99), At(line.delays, 1.0), line.delays.size(), line.lost,
                At(line.readLags, 0.99), 100.0 * line.idleCpuMs / idleWallMs);
    ::close(line.slave);
    ::close(line.master);
  }
  std::printf("(arrival -> OnReceive on the main thread; read p99: arrival -> the thread's read of "
              "the last byte, the time the link counters use)\n");
  std::filesystem::remove_all(dirTemplate);
  return 0;
}
