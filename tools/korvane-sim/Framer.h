#pragma once
// Cuts the received byte stream into checked request frames and puts reply
// bodies into wire form, for RTU and ASCII framing. Times are milliseconds
// of a steady clock handed in by the caller, so the framing is tested
// without waiting.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::sim {

using Millis = std::int64_t;

class Framer {
 public:
  virtual ~Framer() = default;
  // Bytes received at `now`; returns the bodies (address, function, data) of
  // the requests completed with a right checksum.
  virtual std::vector<std::string> Feed(std::string_view bytes, Millis now) = 0;
  // Called at or after Deadline(): ends what the line's silence ends.
  virtual std::vector<std::string> Expire(Millis now) = 0;
  // When the collected bytes go stale, if any are waiting.
  virtual std::optional<Millis> Deadline() const = 0;
  // Wire form of a reply body; `corrupt` spoils its CRC or LRC.
  virtual std::string Encode(std::string_view body, bool corrupt) const = 0;
  // The oldest request handed on and not yet answered gets no reply (it was
  // another slave's, or a broadcast): a framer that pairs each reply with its
  // request forgets it, so the next reply goes with the next request.
  virtual void NoReply() {}
  // Number of frames dropped for a bad checksum or a broken form.
  std::uint64_t Rejected() const { return rejected_; }

 protected:
  std::uint64_t rejected_ = 0;
};

// RTU: a frame ends at 3.5 character times of silence (at least `gapMs`, since
// a pseudo-terminal has no line timing) or as soon as the length its function
// code implies has arrived with a right CRC. Noise before a frame is skipped.
class RtuFramer : public Framer {
 public:
  explicit RtuFramer(Millis gapMs);
  std::vector<std::string> Feed(std::string_view bytes, Millis now) override;
  std::vector<std::string> Expire(Millis now) override;
  std::optional<Millis> Deadline() const override;
  std::string Encode(std::string_view body, bool corrupt) const override;

  static constexpr std::size_t kMaxFrame = 256;

 private:
  std::vector<std::string> Scan();
  std::string buffer_;
  Millis gapMs_;
  Millis last_ = 0;
};

// ASCII: ":" starts a frame (and abandons one in progress), CR ends it (the
// LF after it is dropped as it belongs to no frame). Hex digits of either
// case; the LRC must match. A frame left unfinished for `timeoutMs` is dropped.
class AsciiFramer : public Framer {
 public:
  explicit AsciiFramer(Millis timeoutMs = 1000);
  std::vector<std::string> Feed(std::string_view bytes, Millis now) override;
  std::vector<std::string> Expire(Millis now) override;
  std::optional<Millis> Deadline() const override;
  std::string Encode(std::string_view body, bool corrupt) const override;

  static constexpr std::size_t kMaxChars = 513;

 private:
  std::optional<std::string> Decode() const;
  std::string text_;
  bool inFrame_ = false;
  Millis timeoutMs_;
  Millis last_ = 0;
};

// Modbus TCP: the MBAP header gives each frame's length; the body handed on
// is unit id + PDU. A reply goes back under the transaction id of the request
// it answers; `corrupt` spoils its protocol id (MBAP has no checksum). A
// header that cannot be Modbus TCP throws the stream away, as a server that
// lost step with its client would.
class MbapFramer : public Framer {
 public:
  std::vector<std::string> Feed(std::string_view bytes, Millis now) override;
  std::vector<std::string> Expire(Millis) override { return {}; }
  std::optional<Millis> Deadline() const override { return std::nullopt; }
  std::string Encode(std::string_view body, bool corrupt) const override;
  void NoReply() override;

 private:
  std::string buffer_;
  mutable std::deque<std::uint16_t> transactions_;  // of the requests handed on, oldest first
};

// Gap for RTU framing at a bit rate: 3.5 characters of 11 bits, never below `floorMs`.
Millis RtuGap(int baud, Millis floorMs);

std::unique_ptr<Framer> MakeFramer(bool rtu, int baud, Millis gapFloorMs);

}  // namespace korvane::sim
