#include "SimProcess.h"

#include <chrono>

namespace korvane::sim::test {

using Clock = std::chrono::steady_clock;

SimProcess::SimProcess(const std::string& configHome, const std::vector<std::string>& args)
    : child_([&args] {
        std::vector<std::string> argv{korvane::test::BinPath("korvane-sim")};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
      }(),
             {"XDG_CONFIG_HOME=" + configHome}) {}

std::optional<std::string> SimProcess::WaitFor(const std::string& prefix, Millis timeout) {
  return child_.WaitForLine("korvane-sim: " + prefix, timeout);
}

bool SimProcess::WaitReady(Millis timeout) {
  auto end = Clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<Millis>(end - Clock::now());
    auto line = child_.ReadLine(left.count() < 0 ? Millis(0) : left);
    if (!line) return false;
    if (*line == "korvane-sim: ready") return true;
    // "korvane-sim: COM1 -> /dev/pts/5" or "korvane-sim: device /dev/pts/5"
    if (auto arrow = line->find(" -> "); arrow != std::string::npos) {
      com_ = line->substr(13, arrow - 13);
      device_ = line->substr(arrow + 4);
    } else if (line->rfind("korvane-sim: device ", 0) == 0) {
      device_ = line->substr(20);
    }
  }
}

bool SimProcess::Command(const std::string& line, const std::string& expect, Millis timeout) {
  return child_.WriteLine(line) && WaitFor(expect, timeout).has_value();
}

}  // namespace korvane::sim::test
