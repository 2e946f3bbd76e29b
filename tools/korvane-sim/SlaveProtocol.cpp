#include "SlaveProtocol.h"

#include <vector>

namespace korvane::sim {

namespace {

int Word(std::string_view s, std::size_t at) {
  return (static_cast<std::uint8_t>(s[at]) << 8) | static_cast<std::uint8_t>(s[at + 1]);
}

void PutWord(std::string& s, int value) {
  s.push_back(static_cast<char>((value >> 8) & 0xFF));
  s.push_back(static_cast<char>(value & 0xFF));
}

std::uint8_t WriteException(ControllerDevice::WriteResult r) {
  return r == ControllerDevice::WriteResult::IllegalAddress ? exception::IllegalDataAddress
                                                            : exception::IllegalDataValue;
}

std::string ReadRegisters(const ControllerDevice& device, std::string_view req) {
  auto slave = static_cast<std::uint8_t>(req[0]);
  auto function = static_cast<std::uint8_t>(req[1]);
  if (req.size() != 6) return ExceptionBody(slave, function, exception::IllegalDataValue);
  int start = Word(req, 2);
  int count = Word(req, 4);
  if (count < 1 || count > 125) return ExceptionBody(slave, function, exception::IllegalDataValue);
  const RegisterTable table = function == 4 ? RegisterTable::Input : RegisterTable::Holding;
  std::string reply{static_cast<char>(slave), static_cast<char>(function),
                    static_cast<char>(count * 2)};
  for (int a = start; a < start + count; ++a) {
    const std::optional<std::uint16_t> word = device.Read(table, a);
    if (!word) return ExceptionBody(slave, function, exception::IllegalDataAddress);
    PutWord(reply, *word);
  }
  return reply;
}

std::string WriteSingle(ControllerDevice& device, std::string_view req) {
  auto slave = static_cast<std::uint8_t>(req[0]);
  if (req.size() != 6) return ExceptionBody(slave, 6, exception::IllegalDataValue);
  auto result = device.Write(Word(req, 2), static_cast<std::uint16_t>(Word(req, 4)));
  if (result != ControllerDevice::WriteResult::Ok) return ExceptionBody(slave, 6, WriteException(result));
  return std::string(req);  // the echo of the request
}

std::string WriteMultiple(ControllerDevice& device, std::string_view req) {
  auto slave = static_cast<std::uint8_t>(req[0]);
  if (req.size() < 7) return ExceptionBody(slave, 16, exception::IllegalDataValue);
  int start = Word(req, 2);
  int count = Word(req, 4);
  std::size_t bytes = static_cast<std::uint8_t>(req[6]);
  if (count < 1 || count > 123 || bytes != static_cast<std::size_t>(count) * 2 ||
      req.size() != 7 + bytes) {
    return ExceptionBody(slave, 16, exception::IllegalDataValue);
  }
  std::vector<std::uint16_t> words;
  for (int i = 0; i < count; ++i) words.push_back(static_cast<std::uint16_t>(Word(req, static_cast<std::size_t>(7 + 2 * i))));
  // All or nothing: the device checks every register before writing any.
  auto r = device.Write(start, words);
  if (r != ControllerDevice::WriteResult::Ok) return ExceptionBody(slave, 16, WriteException(r));
  return std::string(req.substr(0, 6));
}

}  // namespace

std::string ExceptionBody(std::uint8_t slave, std::uint8_t function, std::uint8_t code) {
  return std::string{static_cast<char>(slave), static_cast<char>(function | 0x80),
                     static_cast<char>(code)};
}

std::optional<std::string> HandleRequest(ControllerDevice& device, std::uint8_t slave,
                                         std::string_view request) {
  if (request.size() < 2) return std::nullopt;
  auto address = static_cast<std::uint8_t>(request[0]);
  auto function = static_cast<std::uint8_t>(request[1]);
  bool broadcast = address == 0;
  if (address != slave && !broadcast) return std::nullopt;

  std::string reply;
  switch (function) {
    case 3:
    case 4:
      if (broadcast) return std::nullopt;  // reads are never broadcast
      reply = ReadRegisters(device, request);
      break;
    case 6: reply = WriteSingle(device, request); break;
    case 16: reply = WriteMultiple(device, request); break;
    default: reply = ExceptionBody(address, function, exception::IllegalFunction); break;
  }
  if (broadcast) return std::nullopt;
  return reply;
}

}  // namespace korvane::sim
