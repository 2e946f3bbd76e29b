#pragma once
// Value types of the serial port component: ports, line settings, modem
// lines, and the Windows device-control block that the line settings are
// computed into before a platform applies them.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace korvane {

// A port by number; spNone = no port. spCOM1..spCOM99 have the ordinals 1..99.
enum TCommPort : std::uint8_t {
  spNone = 0,
  spCOM1 = 1,
  spCOM2 = 2,
  spCOM3 = 3,
  spCOM4 = 4,
  spCOM5 = 5,
  spCOM6 = 6,
  spCOM7 = 7,
  spCOM8 = 8,
  spCOM9 = 9,
  spCOM10 = 10,
  spCOM11 = 11,
  spCOM12 = 12,
  spCOM13 = 13,
  spCOM14 = 14,
  spCOM15 = 15,
  spCOM16 = 16,
  spCOM17 = 17,
  spCOM18 = 18,
  spCOM19 = 19,
  spCOM20 = 20,
  spCOM21 = 21,
  spCOM22 = 22,
  spCOM23 = 23,
  spCOM24 = 24,
  spCOM25 = 25,
  spCOM26 = 26,
  spCOM27 = 27,
  spCOM28 = 28,
  spCOM29 = 29,
  spCOM30 = 30,
  spCOM31 = 31,
  spCOM32 = 32,
  spCOM33 = 33,
  spCOM34 = 34,
  spCOM35 = 35,
  spCOM36 = 36,
  spCOM37 = 37,
  spCOM38 = 38,
  spCOM39 = 39,
  spCOM40 = 40,
  spCOM41 = 41,
  spCOM42 = 42,
  spCOM43 = 43,
  spCOM44 = 44,
  spCOM45 = 45,
  spCOM46 = 46,
  spCOM47 = 47,
  spCOM48 = 48,
  spCOM49 = 49,
  spCOM50 = 50,
  spCOM51 = 51,
  spCOM52 = 52,
  spCOM53 = 53,
  spCOM54 = 54,
  spCOM55 = 55,
  spCOM56 = 56,
  spCOM57 = 57,
  spCOM58 = 58,
  spCOM59 = 59,
  spCOM60 = 60,
  spCOM61 = 61,
  spCOM62 = 62,
  spCOM63 = 63,
  spCOM64 = 64,
  spCOM65 = 65,
  spCOM66 = 66,
  spCOM67 = 67,
  spCOM68 = 68,
  spCOM69 = 69,
  spCOM70 = 70,
  spCOM71 = 71,
  spCOM72 = 72,
  spCOM73 = 73,
  spCOM74 = 74,
  spCOM75 = 75,
  spCOM76 = 76,
  spCOM77 = 77,
  spCOM78 = 78,
  spCOM79 = 79,
  spCOM80 = 80,
  spCOM81 = 81,
  spCOM82 = 82,
  spCOM83 = 83,
  spCOM84 = 84,
  spCOM85 = 85,
  spCOM86 = 86,
  spCOM87 = 87,
  spCOM88 = 88,
  spCOM89 = 89,
  spCOM90 = 90,
  spCOM91 = 91,
  spCOM92 = 92,
  spCOM93 = 93,
  spCOM94 = 94,
  spCOM95 = 95,
  spCOM96 = 96,
  spCOM97 = 97,
  spCOM98 = 98,
  spCOM99 = 99
};

enum TBaudRate : std::uint8_t {
  br000110, br000300, br000600, br001200, br002400, br004800, br009600, br014400,
  br019200, br038400, br057600, br115200, br128000, br256000, brCustom
};

enum TDataWidth : std::uint8_t { dw5Bits, dw6Bits, dw7Bits, dw8Bits };

// Ordinals are the parity codes of the device-control block.
enum TParityBits : std::uint8_t { pbNone, pbOdd, pbEven, pbMark, pbSpace };

// Ordinals are the stop-bit codes of the device-control block.
enum TStopBits : std::uint8_t { sb1Bit, sb1_5Bits, sb2Bits };

enum THwFlowControl : std::uint8_t { hfNONE, hfRTS, hfRTSCTS };

enum TSwFlowControl : std::uint8_t { sfNONE, sfXONXOFF };

enum TThreadPriority : std::uint8_t {
  tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical
};

// The four modem input lines.
enum TLineStatus : std::uint8_t { lsCTS, lsDSR, lsRING, lsRLSD };

// A set of TLineStatus in one byte: bit 0 lsCTS, bit 1 lsDSR, bit 2 lsRING, bit 3 lsRLSD.
using TLineStatusSet = std::uint8_t;

constexpr TLineStatusSet LineStatusBit(TLineStatus line) {
  return static_cast<TLineStatusSet>(1u << line);
}
constexpr bool InLineStatusSet(TLineStatusSet set, TLineStatus line) {
  return (set & LineStatusBit(line)) != 0;
}

// Errors of the component ("Cannot connect to COM3.", "COM3 is not open.", ...).
class SerialError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The Windows device-control block, field for field (28 bytes). The line
// settings are built into this block and each platform applies it.
struct Dcb {
  std::uint32_t DCBlength = 28;
  std::uint32_t BaudRate = 0;
  std::uint32_t Flags = 0;
  std::uint16_t wReserved = 0;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 0;
  std::uint8_t Parity = 0;     // 0..4: none, odd, even, mark, space
  std::uint8_t StopBits = 0;   // 0, 1, 2: one, one and a half, two
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  std::uint16_t wReserved1 = 0;
};
static_assert(sizeof(Dcb) == 28, "the device-control block is 28 bytes");

// Bits of Dcb::Flags.
namespace dcb {
constexpr std::uint32_t kBinary = 0x0001;
constexpr std::uint32_t kParityCheck = 0x0002;
constexpr std::uint32_t kOutxCtsFlow = 0x0004;
constexpr std::uint32_t kDtrControlMask = 0x0030;   // 2-bit field
constexpr std::uint32_t kDtrControlEnable = 0x0010;
constexpr std::uint32_t kDtrControlHandshake = 0x0020;
constexpr std::uint32_t kOutX = 0x0100;
constexpr std::uint32_t kInX = 0x0200;
constexpr std::uint32_t kRtsControlMask = 0x3000;   // 2-bit field
constexpr std::uint32_t kRtsControlEnable = 0x1000;
constexpr std::uint32_t kRtsControlHandshake = 0x2000;
constexpr std::uint32_t kRtsControlToggle = 0x3000;
}  // namespace dcb

// The five Windows communication time-outs, in milliseconds.
struct CommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Bits of the modem status word.
namespace modem {
constexpr std::uint32_t kCtsOn = 0x10;
constexpr std::uint32_t kDsrOn = 0x20;
constexpr std::uint32_t kRingOn = 0x40;
constexpr std::uint32_t kRlsdOn = 0x80;
}  // namespace modem

}  // namespace korvane
