#pragma once
// What a frame on the line means, in words: slave, function, start and count
// or values, exception code, and whether its CRC (RTU) or LRC (ASCII) is
// right. Works on the bytes alone, so a record is decoded only when shown.

#include <string>
#include <string_view>

#include "link/FrameRing.h"

namespace korvane {

// "01 03 00 00 00 14 45 C5": the wire bytes in hex, one blank between.
std::string HexBytes(std::string_view bytes);
// The decoded meaning of a record, e.g. "slave 1 read holding registers
// start 0 count 20, CRC good".
std::string DescribeFrame(const FrameRecord& record);
// One line of the frame monitor: local time with milliseconds, "TX"/"RX",
// the hex bytes and the meaning, separated by two blanks.
std::string FrameLine(const FrameRecord& record);

}  // namespace korvane
