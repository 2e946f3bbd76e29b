#pragma once
// Sizing of the register chunk read on one poll tick. The reply of one read
// is kept to about 256 data bytes at 9600 baud (proportional to the baud
// rate); a block that does not fit is read one chunk per tick.

#include <cstdint>

namespace korvane {

struct Chunk {
  std::int32_t Start = 0;  // first register, 1-based
  std::int32_t Size = 0;   // registers
};

// Highest register number of a table, and the last one a walked chunk reaches.
inline constexpr std::int32_t kLastRegister = 10000;

struct ChunkRequest {
  bool RtuMode = true;               // a register costs 2 bytes in RTU, 4 characters in ASCII
  std::int32_t Baud = 9600;
  std::int32_t StartRegister = 1;
  std::int32_t RegisterCount = 20;
};

// The polled block clamped to registers 1..10000 with at least one register.
Chunk PolledBlock(std::int32_t startRegister, std::int32_t registerCount);

// Data bytes one read may bring back: Baud * 256 div 9600 (never negative).
std::int64_t ReplyByteLimit(std::int32_t baud);

// The chunk to read next, given the chunk start of the previous read.
// The whole block when it fits; otherwise the walk advances by one chunk
// (before the read), wraps to the block start past the block's end and
// never reaches register 10000. A chunk holds at least one register, even
// when the baud rate allows less than one.
Chunk NextChunk(const ChunkRequest& request, std::int32_t previousStart);

}  // namespace korvane
