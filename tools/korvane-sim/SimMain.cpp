// korvane-sim: a simulated panel PID controller with a process behind it, a
// Modbus RTU/ASCII slave on a pseudo-terminal (or a Modbus TCP / RTU-over-TCP
// server on the loopback) mapped to a COM name, so that Korvane can be tried
// and tested without hardware. See docs/simulator.md.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

#include "ComClaim.h"
#include "ControllerDevice.h"
#include "Faults.h"
#include "Framer.h"
#include "SimCommands.h"
#include "SimLine.h"
#include "SimTcpLine.h"
#include "SimOptions.h"
#include "SimUnit.h"
#include "SlaveEngine.h"

using namespace korvane::sim;

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

Millis Now() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void Say(const std::string& text) {
  std::cout << "korvane-sim: " << text << std::endl;  // flushed: tests wait for these lines
}

// End of stdin ends the program when stdin is a pipe or a terminal (a test's
// pipe closing, Ctrl-D); /dev/null or a file only stops the reading.
bool EofMeansQuit() {
  struct stat st {};
  if (::fstat(0, &st) != 0) return false;
  return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || ::isatty(0);
}

void InstallSignals() {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe");
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

// "slave 1", or "slaves 1, 2, 3" for a line of several controllers.
std::string Slaves(const std::deque<SimController>& controllers) {
  std::string text = controllers.size() > 1 ? "slaves " : "slave ";
  for (const SimController& c : controllers) {
    text += (&c == &controllers.front() ? "" : ", ") + std::to_string(c.Address());
  }
  return text;
}

std::string LineSummary(const SimOptions& options, const std::deque<SimController>& controllers) {
  char summary[160];
  if (options.TcpScheme == "tcp") {
    std::snprintf(summary, sizeof summary, "Modbus TCP %s, process x%g", Slaves(controllers).c_str(), options.Speed);
  } else {
    std::snprintf(summary, sizeof summary, "%s %d %d%c%d %s, process x%g", options.Rtu ? "RTU" : "ASCII",
                  options.Baud, options.DataBits, options.Parity, options.StopBits, Slaves(controllers).c_str(),
                  options.Speed);
  }
  return summary;
}

// The controllers' processes and faults as the start-up lines tell them: as
// ever for one controller; "@3 map float, process ..." for each of several.
void SayControllers(const std::deque<SimController>& controllers) {
  const bool several = controllers.size() > 1;
  for (const SimController& c : controllers) {
    const std::string at = several ? "@" + std::to_string(c.Address()) + " " : "";
    const std::string map = several ? "map " + std::string(c.Device().Map().Name) + ", " : "";
    Say(at + map + c.Device().Process().Describe());
    for (const auto& f : c.Faults().Active()) Say(at + "fault " + Describe(f));
  }
}

// Serves the controllers on a line (SimLine, or SimTcpLine whose descriptor
// changes as clients come and go) until a signal, a command or the line ends it.
template <class Line>
int Serve(Line& line, const SimOptions& options) {
  ComClaim claim(korvane::ComNameMap::UserDefault(), line.Path());
  if (!options.ComName.empty()) {
    std::string error;
    if (!claim.Claim(options.ComName, options.FreeCom, &error)) {
      std::cerr << "korvane-sim: " << error << std::endl;
      return 3;
    }
    Say(claim.Name() + " -> " + line.Path());
  } else {
    Say("device " + line.Path());
  }

  Millis gap = RtuGap(options.Baud, options.GapMs);
  std::unique_ptr<Framer> framer = options.TcpScheme == "tcp" ? std::make_unique<MbapFramer>()
                                                                : MakeFramer(options.Rtu, options.Baud, options.GapMs);
  SlaveEngine engine(*framer, gap);
  std::deque<SimController> controllers;  // a deque: the engine keeps their addresses
  std::vector<SimUnit> units;
  for (const ControllerSetup& setup : LineControllers(options)) {
    units.push_back(controllers.emplace_back(setup, options.StartNow).Unit());
    engine.Add(units.back());
  }
  if (options.Verbose) engine.Trace = [](const std::string& t) { std::cerr << "korvane-sim: " << t << '\n'; };

  Say(LineSummary(options, controllers));
  SayControllers(controllers);
  Say("ready");

  bool readStdin = true;
  std::string input;
  Millis lastModel = Now();
  for (;;) {
    Millis now = Now();
    // Until a master first asks a controller, its process waits cold at
    // ambient: the step response starts when Korvane connects, in view on its chart.
    const double seconds = static_cast<double>(now - lastModel) / 1000.0 * options.Speed;
    for (SimController& c : controllers) c.Tick(seconds, engine.RequestsTo(c.Address()) > 0);
    lastModel = now;

    Millis timeout = 100;  // the process runs in steps of about 0.1 s of wall time
    if (auto next = engine.NextEvent()) timeout = std::clamp<Millis>(*next - now, 0, timeout);

    pollfd fds[3] = {{line.Fd(), POLLIN, 0}, {readStdin ? 0 : -1, POLLIN, 0}, {signalPipe[0], POLLIN, 0}};
    int ready = ::poll(fds, 3, static_cast<int>(timeout));
    if (ready < 0 && errno != EINTR) throw std::runtime_error("poll failed");
    now = Now();

    if (fds[2].revents) {
      Say("stopping");
      return 0;
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      std::string received;
      if (!line.Read(received)) {
        Say("device " + line.Path() + " is gone");
        return 1;
      }
      if (!received.empty()) engine.Receive(received, now);
    }
    engine.Expire(now);
    if (engine.Vanished()) {
      line.Close();
      claim.Release();
      Say("vanished");
      return 0;
    }
    std::string out = engine.TakeDue(now);
    if (!out.empty() && !line.Write(out)) {
      Say("device " + line.Path() + " is gone");
      return 1;
    }

    if (readStdin && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      char buf[512];
      ssize_t n = ::read(0, buf, sizeof buf);
      if (n <= 0) {
        readStdin = false;
        if (EofMeansQuit()) {
          Say("stopping");
          return 0;
        }
      } else {
        input.append(buf, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = input.find('\n')) != std::string::npos) {
          std::string command = input.substr(0, end);
          input.erase(0, end + 1);
          CommandResult r = RunCommand(command, units);
          for (std::size_t at = 0; at < r.Reply.size();) {  // a show of several controllers: a line each
            const std::size_t stop = std::min(r.Reply.find('\n', at), r.Reply.size());
            Say(r.Reply.substr(at, stop - at));
            at = stop + 1;
          }
          if (r.Quit) return 0;
          if (r.Vanish) {
            line.Close();
            claim.Release();
            Say("vanished");
            return 0;
          }
        }
      }
    }
  }
}

int Run(const SimOptions& options) {
  if (!options.TcpScheme.empty()) {
    SimTcpLine line(static_cast<std::uint16_t>(options.TcpPort), options.TcpScheme);
    return Serve(line, options);
  }
  LineSetup setup{options.Baud, options.Parity, options.DataBits, options.StopBits};
  SimLine line = options.Device.empty() ? SimLine::CreatePty(setup) : SimLine::OpenDevice(options.Device, setup);
  return Serve(line, options);
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, options, &error)) {
    std::cerr << "korvane-sim: " << error << '\n';
    return 2;
  }
  if (options.Help) {
    std::cout << Usage();
    return 0;
  }
  if (options.Version) {
    std::cout << "korvane-sim " << KORVANE_VERSION << '\n';
    return 0;
  }
  try {
    InstallSignals();
    return Run(options);
  } catch (const std::exception& e) {
    std::cerr << "korvane-sim: " << e.what() << '\n';
    return 1;
  }
}
