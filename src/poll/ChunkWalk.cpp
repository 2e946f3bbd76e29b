#include "poll/ChunkWalk.h"

#include <algorithm>

namespace korvane {

Chunk PolledBlock(std::int32_t startRegister, std::int32_t registerCount) {
  const std::int32_t start = std::clamp(startRegister, 1, kLastRegister);
  const std::int32_t count = std::clamp(registerCount, 1, kLastRegister + 1 - start);
  return Chunk{start, count};
}

std::int64_t ReplyByteLimit(std::int32_t baud) {
  return std::max<std::int64_t>(0, static_cast<std::int64_t>(baud) * 256 / 9600);
}

Chunk NextChunk(const ChunkRequest& request, std::int32_t previousStart) {
  const Chunk block = PolledBlock(request.StartRegister, request.RegisterCount);
  const std::int64_t bytesPerRegister = request.RtuMode ? 2 : 4;
  const std::int64_t bytes = std::min(bytesPerRegister * block.Size, ReplyByteLimit(request.Baud));
  // Below one register the line is too slow for any read; one register at a
  // time still gets the block read.
  const auto size = static_cast<std::int32_t>(std::max<std::int64_t>(1, bytes / bytesPerRegister));
  if (size >= block.Size) return block;

  std::int64_t start = std::max(previousStart, block.Start);
  start += size;
  if (start >= kLastRegister) start = block.Start;
  if (start >= static_cast<std::int64_t>(block.Start) + block.Size) start = block.Start;
  Chunk chunk{static_cast<std::int32_t>(start), size};
  // The walk never reaches register 10000; a block of two or more registers
  // starts at 9999 at most, so at least one register remains.
  if (start + size >= kLastRegister) chunk.Size = kLastRegister - chunk.Start;
  return chunk;
}

}  // namespace korvane
