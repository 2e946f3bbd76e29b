// Only the kernel's termios header is used here (struct termios2 and
// BOTHER); glibc's <termios.h> clashes with it, so it is kept out.
#include "serial/LineTermios.h"

#include <asm/termbits.h>

#include <array>
#include <utility>

namespace korvane {

namespace {

constexpr std::array<std::pair<std::uint32_t, std::uint32_t>, 27> kStandardSpeeds = {{
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {4000000, B4000000},
}};

std::uint32_t SpeedCodeOf(std::uint32_t rate) {
  for (const auto& [speed, code] : kStandardSpeeds) {
    if (speed == rate) return code;
  }
  return BOTHER;  // any other rate goes to the driver as a number
}

}  // namespace

LineTermios TermiosFromDcb(const Dcb& block) {
  LineTermios out;
  if (block.BaudRate == 0 || block.ByteSize < 5 || block.ByteSize > 8 || block.Parity > 4 ||
      block.StopBits > 2) {
    return out;
  }
  out.Valid = true;
  out.Speed = block.BaudRate;
  out.SpeedCode = SpeedCodeOf(block.BaudRate);

  static constexpr std::array<std::uint32_t, 4> kSizes = {CS5, CS6, CS7, CS8};
  out.ControlFlags = kSizes[block.ByteSize - 5u];
  switch (block.Parity) {
    case 1: out.ControlFlags |= PARENB | PARODD; break;            // odd
    case 2: out.ControlFlags |= PARENB; break;                     // even
    case 3: out.ControlFlags |= PARENB | CMSPAR | PARODD; break;   // mark
    case 4: out.ControlFlags |= PARENB | CMSPAR; break;            // space
    default: break;
  }
  // CSTOPB is two stop bits, and one and a half with five data bits.
  if (block.StopBits != 0) out.ControlFlags |= CSTOPB;

  const std::uint32_t flags = block.Flags;
  const std::uint32_t rts = flags & dcb::kRtsControlMask;
  // The kernel has one switch for both directions of RTS/CTS hand-shake.
  if ((flags & dcb::kOutxCtsFlow) != 0 || rts == dcb::kRtsControlHandshake) {
    out.ControlFlags |= CRTSCTS;
  }
  if ((flags & dcb::kOutX) != 0) out.InputFlags |= IXON;
  if ((flags & dcb::kInX) != 0) out.InputFlags |= IXOFF;
  // The parity-check flag is never set by the component; a terminal without
  // INPCK passes bytes through whatever their parity.
  if ((flags & dcb::kParityCheck) != 0) out.InputFlags |= INPCK;

  // DTR: enabled or hand-shake raise it, disabled holds it low. RTS: any
  // control but "disabled" raises it; the Windows toggle mode (RTS only
  // while sending) has no terminal equivalent and keeps RTS raised.
  out.RaiseDtr = (flags & dcb::kDtrControlMask) != 0;
  out.RaiseRts = rts != 0;
  return out;
}

}  // namespace korvane
