// Hex conversions and the build's folders: plain std, shared by the test
// programs of every platform.
#include <stdexcept>

#include "support/TestSupport.h"

namespace korvane::test {

std::string FromHex(std::string_view hex) {
  std::string out;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else if (c == ' ' || c == ':' || c == '\n' || c == '\t') continue;
    else throw std::invalid_argument("FromHex: not a hex digit");
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("FromHex: odd number of digits");
  return out;
}

std::string ToHex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (!out.empty()) out.push_back(' ');
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 0xF]);
  }
  return out;
}

std::string BinPath(std::string_view name) { return std::string(KORVANE_BIN_DIR) + "/" + std::string(name); }
std::string SourcePath(std::string_view relative) {
  return std::string(KORVANE_SOURCE_DIR) + "/" + std::string(relative);
}

}  // namespace korvane::test
