#include "Framer.h"

#include <algorithm>

#include "master/CoreCode.h"

namespace korvane::sim {

namespace {

std::uint8_t Byte(const std::string& s, std::size_t at) { return static_cast<std::uint8_t>(s[at]); }

// Length of the request starting at `at` as its function code implies, 0 when
// not known (unknown function, or the byte count has not arrived yet).
std::size_t RequestLength(const std::string& s, std::size_t at) {
  if (s.size() < at + 2) return 0;
  switch (Byte(s, at + 1)) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 8: return 8;
    case 7: case 11: case 12: case 17: return 4;
    case 15: case 16:
      if (s.size() < at + 7) return 0;
      return 9 + Byte(s, at + 6);
    case 22: return 10;
    case 23:
      if (s.size() < at + 11) return 0;
      return 13 + Byte(s, at + 10);
    default: return 0;
  }
}

bool CrcOk(const std::string& s, std::size_t at, std::size_t length) {
  if (length < 4) return false;
  std::string_view frame(s.data() + at, length);
  std::int32_t crc = korvane::CRC16(frame, static_cast<std::int32_t>(length - 2));
  return Byte(s, at + length - 2) == (crc >> 8) && Byte(s, at + length - 1) == (crc & 0xFF);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

const char* const kHex = "0123456789ABCDEF";

void PutHex(std::string& out, std::uint8_t b) {
  out.push_back(kHex[b >> 4]);
  out.push_back(kHex[b & 0x0F]);
}

}  // namespace

Millis RtuGap(int baud, Millis floorMs) {
  if (baud <= 0) return floorMs;
  // 3.5 characters of 11 bits; above 19200 bit/s the fixed 1.75 ms applies.
  Millis gap = baud > 19200 ? 2 : (35 * 11 * 1000 / 10 + baud - 1) / baud;
  return std::max(gap, floorMs);
}

std::unique_ptr<Framer> MakeFramer(bool rtu, int baud, Millis gapFloorMs) {
  if (rtu) return std::make_unique<RtuFramer>(RtuGap(baud, gapFloorMs));
  return std::make_unique<AsciiFramer>();
}

// ---- RTU ----

RtuFramer::RtuFramer(Millis gapMs) : gapMs_(gapMs) {}

std::vector<std::string> RtuFramer::Scan() {
  std::vector<std::string> frames;
  std::size_t at = 0;
  while (at < buffer_.size()) {
    std::size_t length = RequestLength(buffer_, at);
    if (length > 0 && at + length <= buffer_.size() && CrcOk(buffer_, at, length)) {
      frames.push_back(buffer_.substr(at, length - 2));
      buffer_.erase(0, at + length);
      at = 0;
      continue;
    }
    ++at;
  }
  return frames;
}

std::vector<std::string> RtuFramer::Feed(std::string_view bytes, Millis now) {
  std::vector<std::string> frames;
  if (!buffer_.empty() && now - last_ >= gapMs_) frames = Expire(now);
  last_ = now;
  buffer_.append(bytes);
  auto found = Scan();
  frames.insert(frames.end(), found.begin(), found.end());
  if (buffer_.size() > kMaxFrame) {
    // Longer than any frame: keep only the newest bytes.
    buffer_.erase(0, buffer_.size() - kMaxFrame);
    ++rejected_;
  }
  return frames;
}

std::vector<std::string> RtuFramer::Expire(Millis) {
  std::vector<std::string> frames;
  if (buffer_.empty()) return frames;
  // A silence ends the frame: what is left is one frame of a function whose
  // length is not known here, or noise and broken frames.
  if (buffer_.size() >= 4 && CrcOk(buffer_, 0, buffer_.size())) {
    frames.push_back(buffer_.substr(0, buffer_.size() - 2));
  } else {
    ++rejected_;
  }
  buffer_.clear();
  return frames;
}

std::optional<Millis> RtuFramer::Deadline() const {
  if (buffer_.empty()) return std::nullopt;
  return last_ + gapMs_;
}

std::string RtuFramer::Encode(std::string_view body, bool corrupt) const {
  std::string out(body);
  std::int32_t crc = korvane::CRC16(body, static_cast<std::int32_t>(body.size()));
  if (corrupt) crc ^= 0x00FF;
  out.push_back(static_cast<char>(crc >> 8));
  out.push_back(static_cast<char>(crc & 0xFF));
  return out;
}

// ---- ASCII ----

AsciiFramer::AsciiFramer(Millis timeoutMs) : timeoutMs_(timeoutMs) {}

std::optional<std::string> AsciiFramer::Decode() const {
  // text_ holds the characters after ":" up to (not including) CR.
  if (text_.size() % 2 != 0 || text_.size() < 6) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < text_.size(); i += 2) {
    int hi = HexValue(text_[i]);
    int lo = HexValue(text_[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(hi * 16 + lo));
  }
  std::string_view body(bytes.data(), bytes.size() - 1);
  if (korvane::Lrc(body) != static_cast<std::uint8_t>(bytes.back())) return std::nullopt;
  return std::string(body);
}

std::vector<std::string> AsciiFramer::Feed(std::string_view bytes, Millis now) {
  std::vector<std::string> frames;
  if (inFrame_ && now - last_ >= timeoutMs_) Expire(now);
  last_ = now;
  for (char c : bytes) {
    if (c == ':') {
      if (inFrame_) ++rejected_;  // a new frame abandons the unfinished one
      inFrame_ = true;
      text_.clear();
      continue;
    }
    if (!inFrame_) continue;  // noise, and the LF after CR
    if (c == '\r') {
      inFrame_ = false;
      if (auto body = Decode()) {
        frames.push_back(std::move(*body));
      } else {
        ++rejected_;
      }
      text_.clear();
      continue;
    }
    text_.push_back(c);
    if (text_.size() > kMaxChars) {
      inFrame_ = false;
      text_.clear();
      ++rejected_;
    }
  }
  return frames;
}

std::vector<std::string> AsciiFramer::Expire(Millis) {
  if (inFrame_) ++rejected_;
  inFrame_ = false;
  text_.clear();
  return {};
}

std::optional<Millis> AsciiFramer::Deadline() const {
  if (!inFrame_) return std::nullopt;
  return last_ + timeoutMs_;
}

std::string AsciiFramer::Encode(std::string_view body, bool corrupt) const {
  std::string out = ":";
  for (char c : body) PutHex(out, static_cast<std::uint8_t>(c));
  std::uint8_t lrc = korvane::Lrc(body);
  if (corrupt) lrc = static_cast<std::uint8_t>(lrc + 1);
  PutHex(out, lrc);
  out += "\r\n";
  return out;
}

}  // namespace korvane::sim
