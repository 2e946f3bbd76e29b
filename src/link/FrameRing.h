#pragma once
// The latest frames seen on the line, in a ring of fixed capacity: pushing
// into a full ring overwrites the oldest record and reuses its storage, so a
// run of any length costs bounded memory.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

enum class FrameDirection : std::uint8_t { Sent, Received };

struct FrameRecord {
  std::int64_t WallMs = 0;  // milliseconds since 1970 (system clock)
  FrameDirection Direction = FrameDirection::Sent;
  bool Rtu = true;          // framing in force when the frame was seen
  bool Mbap = false;        // Modbus TCP framing (MBAP header, no checksum) was in force
  bool Text = false;        // a text written to the line, not a request
  std::int32_t Result = 0;  // received: the check result that ended it (0: none)
  std::string Bytes;
};

class FrameRing {
 public:
  static constexpr std::size_t kMaxFrameBytes = 1024;  // longer frames keep their start

  explicit FrameRing(std::size_t capacity = 1000);

  void Push(const FrameRecord& record);
  void Clear();

  std::size_t Size() const { return size_; }
  std::size_t Capacity() const { return records_.size(); }
  // 0 is the oldest record kept.
  const FrameRecord& At(std::size_t index) const;
  // Records pushed since construction (Clear does not reset it): a viewer
  // compares it with the last value it saw to find the new records.
  std::uint64_t Pushed() const { return pushed_; }

 private:
  std::vector<FrameRecord> records_;
  std::size_t next_ = 0;
  std::size_t size_ = 0;
  std::uint64_t pushed_ = 0;
};

}  // namespace korvane
