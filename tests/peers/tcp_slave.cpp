// korvane_tcp_slave: a real libmodbus Modbus TCP server on the loopback for
// the network wire tests.
//
//   korvane_tcp_slave [--port N] [--count N] [--values v0,v1,...]
//
// Listens on 127.0.0.1 only (port 0: one the system picks) and prints
// "ready PORT"; then, for each client in turn, "connected", one
// "req HEX" line per request (the MBAP header included), "hr A=V" for each
// register a write changed, and "closed" when the client leaves. Holding
// register i = --values[i], else 1000 + i; a read beyond --count (32)
// registers is answered with exception 2. Exits on SIGTERM/SIGINT, or when
// stdin is a pipe and reaches end of file.

#include <arpa/inet.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  ssize_t ignored = ::write(g_signalPipe[1], &c, 1);
  (void)ignored;
}

[[noreturn]] void Usage(const std::string& why) {
  std::fprintf(stderr, "korvane_tcp_slave: %s\n", why.c_str());
  std::exit(2);
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

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  int count = 32;
  std::vector<long> values;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) Usage("missing value after " + a);
    const char* v = argv[++i];
    if (a == "--port") port = std::atoi(v);
    else if (a == "--count") count = std::atoi(v);
    else if (a == "--values") {
      std::string s(v);
      for (std::size_t pos = 0; pos <= s.size();) {
        std::size_t comma = s.find(',', pos);
        std::string item = s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (!item.empty()) values.push_back(std::strtol(item.c_str(), nullptr, 0));
        if (comma == std::string::npos) break;
        pos = comma + 1;
      }
    } else Usage("unknown argument " + a);
  }

  if (::pipe(g_signalPipe) != 0) return 1;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
  modbus_mapping_t* map = ctx ? modbus_mapping_new(0, 0, count, 0) : nullptr;
  if (map == nullptr) Usage("cannot set up libmodbus");
  for (int i = 0; i < count; ++i)
    map->tab_registers[i] = static_cast<std::uint16_t>(i < static_cast<int>(values.size()) ? values[i] : 1000 + i);

  const int server = modbus_tcp_listen(ctx, 1);
  if (server < 0) Usage(std::string("cannot listen: ") + modbus_strerror(errno));
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  ::getsockname(server, reinterpret_cast<sockaddr*>(&bound), &length);
  Say("ready " + std::to_string(ntohs(bound.sin_port)));

  struct stat st {};
  const bool watchStdin = ::fstat(0, &st) == 0 && S_ISFIFO(st.st_mode);
  std::uint8_t req[MODBUS_TCP_MAX_ADU_LENGTH];
  int client = -1;
  for (;;) {
    pollfd fds[3] = {{client >= 0 ? client : server, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}, {0, POLLIN, 0}};
    if (::poll(fds, watchStdin ? 3 : 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents) break;
    if (watchStdin && fds[2].revents) {
      char buf[256];
      if (::read(0, buf, sizeof buf) <= 0) break;
    }
    if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    if (client < 0) {
      int s = server;
      client = modbus_tcp_accept(ctx, &s);
      if (client >= 0) Say("connected");
      continue;
    }
    const int len = modbus_receive(ctx, req);
    if (len <= 0) {
      // The client left (or sent what is no Modbus TCP): wait for the next one.
      Say(len < 0 ? std::string("closed ") + modbus_strerror(errno) : "ignored");
      if (len < 0) {
        ::close(client);
        client = -1;
        modbus_set_socket(ctx, -1);
      }
      continue;
    }
    Say("req " + Hex(req, len));
    modbus_reply(ctx, req, len, map);
    if (len >= 12 && req[7] == 6) {
      const int address = req[8] << 8 | req[9];
      if (address < count) Say("hr " + std::to_string(address) + "=" + std::to_string(map->tab_registers[address]));
    }
  }
  if (client >= 0) ::close(client);
  ::close(server);
  modbus_mapping_free(map);
  modbus_free(ctx);
  return 0;
}
