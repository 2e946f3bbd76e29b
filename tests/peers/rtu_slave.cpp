// korvane_rtu_slave: a real libmodbus RTU slave for the wire tests.
//
//   korvane_rtu_slave --device PATH [--slave N] [--baud B] [--parity N|E|O]
//                     [--count N] [--values v0,v1,...]
//                     [--input-count N] [--input-values v0,...]
//                     [--coil-count N] [--coils 0110...]
//                     [--discrete-count N] [--discretes 0110...]
//                     [--words hr|ir:ADDRESS=w0,w1,...]...
//                     [--reply-delay MS] [--no-reply]
//
// Prints "ready" once the port is open, then one line per event (see
// tests/peers/README.md). Exits on SIGTERM/SIGINT, or when stdin is a pipe
// and reaches end of file.

#include <modbus.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  ssize_t ignored = ::write(g_signalPipe[1], &c, 1);
  (void)ignored;
}

struct Options {
  std::string device;
  int slave = 1;
  int baud = 9600;
  char parity = 'N';
  int count = 32;
  std::vector<long> values;
  int inputCount = 0;
  std::vector<long> inputValues;
  int coilCount = 0;
  std::string coils;
  int discreteCount = 0;
  std::string discretes;
  int replyDelayMs = 0;
  bool noReply = false;
  // Register words placed at an address of a table (the table grows to hold them).
  struct Words {
    bool input;
    int address;
    std::vector<long> values;
  };
  std::vector<Words> words;
};

[[noreturn]] void Usage(const char* why) {
  std::fprintf(stderr, "korvane_rtu_slave: %s\n", why);
  std::exit(2);
}

std::vector<long> ParseList(const char* text) {
  std::vector<long> out;
  std::string s(text);
  std::size_t pos = 0;
  while (pos <= s.size()) {
    std::size_t comma = s.find(',', pos);
    std::string item = s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    if (!item.empty()) out.push_back(std::strtol(item.c_str(), nullptr, 0));
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return out;
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> const char* {
      if (i + 1 >= argc) Usage(("missing value after " + a).c_str());
      return argv[++i];
    };
    if (a == "--device") o.device = next();
    else if (a == "--slave") o.slave = std::atoi(next());
    else if (a == "--baud") o.baud = std::atoi(next());
    else if (a == "--parity") o.parity = next()[0];
    else if (a == "--count") o.count = std::atoi(next());
    else if (a == "--values") o.values = ParseList(next());
    else if (a == "--input-count") o.inputCount = std::atoi(next());
    else if (a == "--input-values") o.inputValues = ParseList(next());
    else if (a == "--coil-count") o.coilCount = std::atoi(next());
    else if (a == "--coils") o.coils = next();
    else if (a == "--discrete-count") o.discreteCount = std::atoi(next());
    else if (a == "--discretes") o.discretes = next();
    else if (a == "--reply-delay") o.replyDelayMs = std::atoi(next());
    else if (a == "--no-reply") o.noReply = true;
    else if (a == "--words") {
      // "hr:3000=1,2": the table, the first address, the words placed from there.
      const std::string placed = next();
      const std::size_t colon = placed.find(':');
      const std::size_t equals = placed.find('=');
      if (colon == std::string::npos || equals == std::string::npos || equals < colon) Usage("--words takes hr|ir:ADDRESS=w0,...");
      const std::string table = placed.substr(0, colon);
      if (table != "hr" && table != "ir") Usage("--words takes hr or ir");
      o.words.push_back({table == "ir", std::atoi(placed.substr(colon + 1, equals - colon - 1).c_str()),
                         ParseList(placed.c_str() + equals + 1)});
    }
    else Usage(("unknown argument " + a).c_str());
  }
  if (o.device.empty()) Usage("--device is required");
  for (const Options::Words& w : o.words) {
    int& count = w.input ? o.inputCount : o.count;
    count = std::max(count, w.address + static_cast<int>(w.values.size()));
  }
  if (o.count < 0 || o.inputCount < 0 || o.coilCount < 0 || o.discreteCount < 0) Usage("negative count");
  return o;
}

std::string Hex(const std::uint8_t* p, int n) {
  std::string s;
  char b[4];
  for (int i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, i ? " %02X" : "%02X", p[i]);
    s += b;
  }
  return s;
}

int Word(const std::uint8_t* p) { return p[0] << 8 | p[1]; }

// Lines describing what a handled write changed (addresses are wire addresses, 0-based).
void ReportWrite(const std::uint8_t* req, int len, const modbus_mapping_t* map) {
  if (len < 8) return;
  int fn = req[1];
  int addr = Word(req + 2);
  if (fn == 6 && addr < map->nb_registers) {
    std::printf("hr %d=%d\n", addr, map->tab_registers[addr]);
  } else if (fn == 16) {
    int qty = Word(req + 4);
    for (int i = 0; i < qty && addr + i < map->nb_registers; ++i)
      std::printf("hr %d=%d\n", addr + i, map->tab_registers[addr + i]);
  } else if (fn == 5 && addr < map->nb_bits) {
    std::printf("co %d=%d\n", addr, map->tab_bits[addr]);
  } else if (fn == 15) {
    int qty = Word(req + 4);
    for (int i = 0; i < qty && addr + i < map->nb_bits; ++i)
      std::printf("co %d=%d\n", addr + i, map->tab_bits[addr + i]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options o = Parse(argc, argv);

  if (::pipe(g_signalPipe) != 0) return 1;
  struct sigaction sa{};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  modbus_t* ctx = modbus_new_rtu(o.device.c_str(), o.baud, o.parity, 8, 1);
  if (!ctx) {
    std::fprintf(stderr, "korvane_rtu_slave: modbus_new_rtu: %s\n", modbus_strerror(errno));
    return 1;
  }
  modbus_set_slave(ctx, o.slave);
  modbus_mapping_t* map = modbus_mapping_new(o.coilCount, o.discreteCount, o.count, o.inputCount);
  if (!map) {
    std::fprintf(stderr, "korvane_rtu_slave: modbus_mapping_new: %s\n", modbus_strerror(errno));
    return 1;
  }
  // Recognisable defaults: holding register i = 1000 + i, input register i = 2000 + i,
  // coil i on when i % 3 == 0, discrete input i on when i is odd.
  for (int i = 0; i < o.count; ++i)
    map->tab_registers[i] = static_cast<std::uint16_t>(i < static_cast<int>(o.values.size()) ? o.values[i] : 1000 + i);
  for (int i = 0; i < o.inputCount; ++i)
    map->tab_input_registers[i] =
        static_cast<std::uint16_t>(i < static_cast<int>(o.inputValues.size()) ? o.inputValues[i] : 2000 + i);
  for (const Options::Words& w : o.words) {
    std::uint16_t* table = w.input ? map->tab_input_registers : map->tab_registers;
    for (std::size_t i = 0; i < w.values.size(); ++i) table[w.address + static_cast<int>(i)] = static_cast<std::uint16_t>(w.values[i]);
  }
  for (int i = 0; i < o.coilCount; ++i)
    map->tab_bits[i] = i < static_cast<int>(o.coils.size()) ? o.coils[i] == '1' : (i % 3 == 0);
  for (int i = 0; i < o.discreteCount; ++i)
    map->tab_input_bits[i] = i < static_cast<int>(o.discretes.size()) ? o.discretes[i] == '1' : (i % 2 == 1);

  if (modbus_connect(ctx) != 0) {
    std::fprintf(stderr, "korvane_rtu_slave: cannot open %s: %s\n", o.device.c_str(), modbus_strerror(errno));
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  struct stat st{};
  bool watchStdin = ::fstat(0, &st) == 0 && S_ISFIFO(st.st_mode);

  std::uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
  int exitCode = 0;
  for (;;) {
    pollfd fds[3] = {{modbus_get_socket(ctx), POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}, {0, POLLIN, 0}};
    int rc = ::poll(fds, watchStdin ? 3 : 2, -1);
    if (rc < 0) {
      if (errno == EINTR) continue;
      exitCode = 1;
      break;
    }
    if (fds[1].revents) break;
    if (watchStdin && fds[2].revents) {
      char buf[256];
      if (::read(0, buf, sizeof buf) <= 0) break;
    }
    if (!(fds[0].revents & POLLIN)) {
      if (fds[0].revents & (POLLHUP | POLLERR)) ::usleep(10000);
      continue;
    }
    int len = modbus_receive(ctx, req);
    if (len < 0) {
      std::printf("err %s\n", modbus_strerror(errno));
      std::fflush(stdout);
      continue;
    }
    if (len == 0) {
      std::printf("ignored\n");
      std::fflush(stdout);
      continue;
    }
    std::printf("req %s\n", Hex(req, len).c_str());
    if (!o.noReply) {
      if (o.replyDelayMs > 0) ::usleep(static_cast<useconds_t>(o.replyDelayMs) * 1000);
      if (modbus_reply(ctx, req, len, map) < 0) std::printf("err reply %s\n", modbus_strerror(errno));
      ReportWrite(req, len, map);
    }
    std::fflush(stdout);
  }
  modbus_mapping_free(map);
  modbus_close(ctx);
  modbus_free(ctx);
  return exitCode;
}
