// Measures the receive thread on a pseudo-terminal: its CPU use while the
// line is idle, and the delay from a byte's arrival at the driver to its
// receive event on the main thread, against the loop's pause (Delay).
//
//   serial_latency_bench [replies=300] [idle-seconds=5] [delay-ms=50]
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "serial/ComNameMap.h"
#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"

using namespace korvane;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  const int replies = argc > 1 ? std::atoi(argv[1]) : 300;
  const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 5;
  const unsigned delayMs = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 50;

  int master = -1;
  int slave = -1;
  char name[128] = {};
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::perror("openpty");
    return 1;
  }
  char dirTemplate[] = "/tmp/korvane-bench-XXXXXX";
  if (::mkdtemp(dirTemplate) == nullptr) return 1;
  ComNameMap map(std::string(dirTemplate) + "/ports");
  map.Add("COM5", name);

  QueueDispatcher mainThread;
  Clock::time_point arrivedAt;
  bool received = false;
  {
    TSerialPort port(mainThread, MappedSerialDeviceOpener(map));
    port.SetPort(spCOM5);
    port.SetDelay(delayMs);
    port.OnReceive = [&](TSerialPort&, const std::string&) { received = true; };
    port.Open();

    // Idle: nothing arrives; the main thread waits for events meanwhile.
    auto cpu0 = port.ReceiveThreadCpuTime().value_or(std::chrono::nanoseconds(0));
    auto wall0 = Clock::now();
    mainThread.PumpFor(std::chrono::seconds(idleSeconds));
    auto cpu1 = port.ReceiveThreadCpuTime().value_or(std::chrono::nanoseconds(0));
    const double idleCpuMs = Ms(cpu1 - cpu0);
    const double idleWallMs = Ms(Clock::now() - wall0);

    // Latency: one small reply at a random phase of the loop each time.
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> phase(0, static_cast<int>(delayMs) + 10);
    std::vector<double> delays;
    int lost = 0;
    for (int i = 0; i < replies; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(phase(random)));
      received = false;
      arrivedAt = Clock::now();
      if (::write(master, "\x01\x03\x02\x00\x07\xF8\x46", 7) != 7) return 1;
      if (!mainThread.PumpUntil([&] { return received; }, std::chrono::seconds(2))) {
        ++lost;
        continue;
      }
      delays.push_back(Ms(Clock::now() - arrivedAt));
    }
    port.Close();

    std::sort(delays.begin(), delays.end());
    auto at = [&](double q) {
      return delays.empty() ? 0.0 : delays[static_cast<std::size_t>(q * static_cast<double>(delays.size() - 1))];
    };
    std::printf("receive thread, Delay %u ms\n", delayMs);
    std::printf("idle CPU: %.2f ms over %.0f ms = %.3f %%\n", idleCpuMs, idleWallMs,
                100.0 * idleCpuMs / idleWallMs);
    std::printf("arrival -> OnReceive over %zu replies (%d lost): min %.1f  median %.1f  "
                "p95 %.1f  worst %.1f ms\n",
                delays.size(), lost, at(0.0), at(0.5), at(0.95), at(1.0));
    std::printf("median/Delay %.2f  worst/Delay %.2f\n", at(0.5) / delayMs, at(1.0) / delayMs);
  }
  ::close(slave);
  ::close(master);
  std::filesystem::remove_all(dirTemplate);
  return 0;
}
