#include "SimOptions.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>


namespace korvane::sim {

namespace {

bool ToDouble(const std::string& s, double& v) {
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return !s.empty() && end == s.c_str() + s.size();
}

bool ToInt(const std::string& s, long& v) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

// The numbers of a controller by option name without "--": the options
// --setpoint, --pb, ... and the keys of --controller.
std::map<std::string, double*> NumberKeys(DeviceParams& d) {
  return {{"setpoint", &d.Setpoint},         {"pb", &d.Factors.ProportionalBand},
          {"ki", &d.Factors.Integral},       {"kd", &d.Factors.Derivative},
          {"hys", &d.Factors.Hysteresis},    {"span-low", &d.SpanLow},
          {"span-high", &d.SpanHigh},        {"gain", &d.Process.Gain},
          {"tau", &d.Process.TimeConstant},  {"dead-time", &d.Process.DeadTime},
          {"tau2", &d.Process.SecondLag},    {"balance", &d.Process.Balance},
          {"ambient", &d.Process.Ambient},   {"noise", &d.Process.Noise}};
}

const char* const kControllerKeys =
    "map, setpoint (or sp), pb, ki, kd, hys, span-low, span-high, gain, tau, tau2, integrating, "
    "balance, dead-time, ambient, noise, seed, fault";

// What a controller's settings cannot be; empty when they are fine.
std::string CheckDevice(const DeviceParams& d) {
  if (d.SpanHigh <= d.SpanLow) return "--span-high must be above --span-low";
  if (d.Process.TimeConstant < 0 || d.Process.DeadTime < 0 || d.Process.Noise < 0 || d.Process.SecondLag < 0) {
    return "--tau, --tau2, --dead-time and --noise cannot be negative";
  }
  if (d.Process.Balance < 0 || d.Process.Balance > 100) return "--balance takes 0..100 %";
  if (d.Factors.ProportionalBand < 0 || d.Factors.ProportionalBand > 999.9 ||
      d.Factors.Integral < 0 || d.Factors.Integral > 655.35 || d.Factors.Derivative < 0 ||
      d.Factors.Derivative > 65535 || d.Factors.Hysteresis < 0 || d.Factors.Hysteresis > 65535) {
    return "--pb, --ki, --kd or --hys outside what the registers can hold";
  }
  if (d.Setpoint < d.SpanLow || d.Setpoint > d.SpanHigh) return "--setpoint outside the span";
  return {};
}

// The address of a --controller option ("3" or "3:..."), and the keys after it.
bool SplitControllerOption(const std::string& text, long& address, std::string& keys) {
  const std::size_t colon = text.find(':');
  keys = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  return ToInt(text.substr(0, colon), address) && address >= 1 && address <= 247;
}

// Applies the keys of a --controller option: "key=value" items separated by
// commas; after fault=KIND the items that are no controller key belong to
// that fault, as they would after --fault KIND: (late:ms=900,count=2).
bool ApplyKeys(const std::string& keys, ControllerSetup& c, std::string* error) {
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  auto numbers = NumberKeys(c.Device);
  std::vector<std::string> faults;
  std::size_t start = 0;
  while (start <= keys.size()) {
    std::size_t end = keys.find(',', start);
    if (end == std::string::npos) end = keys.size();
    const std::string item = keys.substr(start, end - start);
    start = end + 1;
    if (item.empty()) continue;
    const std::size_t eq = item.find('=');
    std::string key = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
    if (key == "sp") key = "setpoint";
    long n = 0;
    if (key == "fault") {
      if (value.empty()) return fail("fault= needs a fault");
      faults.push_back(value);
    } else if (key == "map") {
      c.Device.Map = FindSimMap(value);
      if (c.Device.Map == nullptr) return fail("map=" + value + ": no such map (" + SimMapNames() + ")");
    } else if (auto it = numbers.find(key); it != numbers.end()) {
      if (!ToDouble(value, *it->second)) return fail(key + "= needs a number");
    } else if (key == "seed") {
      if (!ToInt(value, n)) return fail("seed= needs a whole number");
      c.Device.Process.Seed = static_cast<std::uint32_t>(n);
    } else if (key == "integrating") {
      if (eq != std::string::npos && value != "0" && value != "1") return fail("integrating takes =0 or =1");
      c.Device.Process.Integrating = value != "0";
    } else if (!faults.empty()) {
      faults.back() += "," + item;
    } else {
      return fail("unknown key '" + key + "' (keys: " + kControllerKeys + ")");
    }
  }
  for (const std::string& text : faults) {
    Fault f;
    std::string why;
    if (!ParseFault(text, f, &why)) return fail("fault=" + text + ": " + why);
    c.Faults.push_back(f);
  }
  return true;
}

}  // namespace

std::vector<ControllerSetup> LineControllers(const SimOptions& options) {
  std::vector<ControllerSetup> all{{options.Slave, options.Device_, options.Faults}};
  all.insert(all.end(), options.Controllers.begin(), options.Controllers.end());
  return all;
}

bool IsComName(const std::string& name) {
  if (name.size() < 4 || name.size() > 5 || name.compare(0, 3, "COM") != 0) return false;
  long n = 0;
  std::string digits = name.substr(3);
  if (digits[0] == '0' || !ToInt(digits, n)) return false;
  return n >= 1 && n <= 99;
}

std::string Usage() {
  std::string text = R"(Usage: korvane-sim [options]
A simulated PID controller (Modbus RTU/ASCII slave) with a process behind it,
on a pseudo-terminal (or a loopback TCP port) mapped to a COM name, for
trying and testing Korvane.

Line:
  --device PATH      serve an existing serial device instead of a new pseudo-terminal
  --tcp PORT         serve Modbus TCP on 127.0.0.1:PORT instead (0: a free port);
                     the COM name is mapped to tcp://127.0.0.1:PORT
  --rtu-tcp PORT     serve RTU (or --ascii) frames over TCP on 127.0.0.1:PORT, as a
                     transparent gateway does; the COM name maps to rtu+tcp://...
  --com NAME         COM name to map to the device (default COM1)
  --free-com         if NAME is taken, map the next free COM name instead of failing
  --no-com           do not map any COM name
  --rtu | --ascii    framing (default RTU)
  --baud N           bit rate (default 9600)
  --parity N|E|O     parity (default N)
  --data-bits 7|8    data bits (default 8)
  --stop-bits 1|2    stop bits (default 1)
  --slave N          slave address 1..247 (default 1)
  --gap MS           RTU end-of-frame silence, at least (default 5)
Controller (register units in brackets):
  --map NAME         register map: MAPS (default: default)
  --setpoint V       initial setpoint (default 60) [x1]
  --pb PERCENT       proportional band, 0 = on/off (default 8.0) [x0.1]
  --ki REPEATS       integral, repeats per minute (default 2.5) [x0.01]
  --kd SECONDS       derivative time (default 0) [x1]
  --hys V            on/off hysteresis (default 1) [x1]
                     (--pb, --ki and --kd in these units on every map: the
                     gain map shows gain = 100 / band and ti = 60 / ki s, the
                     series map ti and takes the three as series factors)
  --span-low V       input span for the proportional band (default 0)
  --span-high V      (default 400)
Process (first order plus dead time unless told; named at start):
  --gain G           units per percent of output (default 1.5); integrating:
                     units per second per percent off the balance
  --tau SECONDS      time constant (default 60)
  --tau2 SECONDS     a second lag after the first (default 0: none)
  --integrating      a level: PV changes at gain x (output - balance) per second
  --balance PERCENT  output that holds an integrating process still (default 50)
  --dead-time S      dead time (default 3)
  --ambient V        value at 0 % output, and at start (default 20)
  --noise SD         measurement noise, standard deviation (default 0.3)
  --seed N           noise and fault random seed (default 1)
  --speed X          run the process X times faster than real time (default 1)
  --start-now        run the process from the start (default: from the first request)
Faults (repeatable; also switchable on stdin):
  --fault KIND[:key=value,...]
      drop | corrupt (corrupt-crc, corrupt-lrc) | late:ms=MS | split:pieces=N,pause=MS
      | noise:bytes=N | exception:code=C | silent | vanish | as-address:address=N;
      every=N, count=N
Several controllers on the line (the options above describe the first, at --slave):
  --controller SLAVE[:key=value,...]
                     one more controller at address SLAVE (repeatable), starting
                     from the options above without their faults; the keys are
                     option names without --: map, setpoint (or sp), pb, ki, kd,
                     hys, span-low, span-high, gain, tau, tau2, integrating[=0|1],
                     balance, dead-time, ambient, noise, seed, and fault=FAULT
                     (repeatable, FAULT as --fault takes it); at --slave's address
                     it changes the first controller. --speed and --start-now are
                     the line's. E.g. --controller 3:map=float,gain=2,sp=80,fault=silent
Other:
  --verbose          trace requests and replies on stderr
  --help             this text
  --version          the version
Commands on stdin: fault KIND [values] [key=value...] | fault none | vanish |
  sp VALUE | set ADDRESS VALUE | show [SLAVE] | quit; fault, sp and set act on
  the first controller, or on the one at SLAVE when led by @SLAVE (@3 sp 80)
)";
  text.replace(text.find("MAPS"), 4, SimMapNames());
  return text;
}

bool ParseOptions(int argc, const char* const* argv, SimOptions& o, std::string* error) {
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  DeviceParams& d = o.Device_;
  std::map<std::string, double*> doubles{{"--speed", &o.Speed}};
  for (const auto& [key, number] : NumberKeys(d)) doubles["--" + key] = number;
  std::vector<std::string> controllers;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    long n = 0;
    if (arg == "--help" || arg == "-h") {
      o.Help = true;
    } else if (arg == "--version") {
      o.Version = true;
    } else if (arg == "--rtu") {
      o.Rtu = true;
    } else if (arg == "--ascii") {
      o.Rtu = false;
    } else if (arg == "--verbose") {
      o.Verbose = true;
    } else if (arg == "--no-com") {
      o.ComName.clear();
    } else if (arg == "--integrating") {
      d.Process.Integrating = true;
    } else if (arg == "--start-now") {
      o.StartNow = true;
    } else if (arg == "--free-com") {
      o.FreeCom = true;
    } else if (arg == "--device") {
      if (!value(o.Device) || o.Device.empty()) return fail("--device needs a path");
    } else if (arg == "--tcp" || arg == "--rtu-tcp") {
      if (!value(v) || !ToInt(v, n) || n < 0 || n > 65535) return fail(arg + " needs a port 0..65535");
      o.TcpScheme = arg == "--tcp" ? "tcp" : "rtu+tcp";
      o.TcpPort = static_cast<int>(n);
    } else if (arg == "--com") {
      if (!value(v) || !IsComName(v)) return fail("--com needs a name COM1..COM99");
      o.ComName = v;
    } else if (arg == "--parity") {
      if (!value(v) || v.size() != 1 || std::string("NEOneo").find(v[0]) == std::string::npos) {
        return fail("--parity takes N, E or O");
      }
      o.Parity = static_cast<char>(std::toupper(static_cast<unsigned char>(v[0])));
    } else if (arg == "--map") {
      if (!value(v)) return fail("--map needs a name: " + SimMapNames());
      d.Map = FindSimMap(v);
      if (d.Map == nullptr) return fail("--map " + v + ": no such map (" + SimMapNames() + ")");
    } else if (arg == "--fault") {
      Fault f;
      std::string why;
      if (!value(v)) return fail("--fault needs a fault");
      if (!ParseFault(v, f, &why)) return fail("--fault " + v + ": " + why);
      o.Faults.push_back(f);
    } else if (arg == "--controller") {
      if (!value(v)) return fail("--controller needs SLAVE[:key=value,...]");
      controllers.push_back(v);
    } else if (arg == "--baud" || arg == "--data-bits" || arg == "--stop-bits" ||
               arg == "--slave" || arg == "--gap" || arg == "--seed") {
      if (!value(v) || !ToInt(v, n)) return fail(arg + " needs a whole number");
      if (arg == "--baud") {
        if (n < 50 || n > 4000000) return fail("--baud out of range");
        o.Baud = static_cast<int>(n);
      } else if (arg == "--data-bits") {
        if (n != 7 && n != 8) return fail("--data-bits takes 7 or 8");
        o.DataBits = static_cast<int>(n);
      } else if (arg == "--stop-bits") {
        if (n != 1 && n != 2) return fail("--stop-bits takes 1 or 2");
        o.StopBits = static_cast<int>(n);
      } else if (arg == "--slave") {
        if (n < 1 || n > 247) return fail("--slave takes 1..247");
        o.Slave = static_cast<int>(n);
      } else if (arg == "--gap") {
        if (n < 1 || n > 1000) return fail("--gap takes 1..1000 ms");
        o.GapMs = n;
      } else {
        d.Process.Seed = static_cast<std::uint32_t>(n);
      }
    } else if (auto it = doubles.find(arg); it != doubles.end()) {
      double x = 0;
      if (!value(v) || !ToDouble(v, x)) return fail(arg + " needs a number");
      *it->second = x;
    } else {
      return fail("unknown option '" + arg + "' (see --help)");
    }
  }
  if (!o.TcpScheme.empty() && !o.Device.empty()) return fail("--device cannot go with --tcp or --rtu-tcp");
  if (o.Speed <= 0 || o.Speed > 1000) return fail("--speed takes a number above 0, up to 1000");
  if (std::string why = CheckDevice(d); !why.empty()) return fail(why);
  // The controllers after the first start from the options as they stand;
  // one at --slave's address changes the first.
  const DeviceParams options = d;
  std::set<long> addresses;
  for (const std::string& text : controllers) {
    long address = 0;
    std::string keys;
    const std::string prefix = "--controller " + text + ": ";
    if (!SplitControllerOption(text, address, keys)) return fail(prefix + "SLAVE 1..247 first, as in 3:map=float");
    if (!addresses.insert(address).second) return fail(prefix + "address " + std::to_string(address) + " given twice");
    const bool first = address == o.Slave;
    ControllerSetup c{static_cast<int>(address), first ? d : options, first ? o.Faults : std::vector<Fault>{}};
    std::string why;
    if (!ApplyKeys(keys, c, &why)) return fail(prefix + why);
    if (why = CheckDevice(c.Device); !why.empty()) return fail(prefix + why);
    if (first) {
      d = c.Device;
      o.Faults = c.Faults;
    } else {
      o.Controllers.push_back(c);
    }
  }
  return true;
}

}  // namespace korvane::sim
