#include "Framer.h"
#include "master/Mbap.h"

namespace korvane::sim {

std::vector<std::string> MbapFramer::Feed(std::string_view bytes, Millis) {
  // A request that got no reply (another unit) leaves no transaction behind.
  transactions_.clear();
  buffer_.append(bytes);
  std::vector<std::string> bodies;
  while (buffer_.size() >= kMbapHeaderSize) {
    const MbapHeader header = ReadMbapHeader(buffer_);
    if (!PlausibleMbapHeader(header)) {
      ++rejected_;
      buffer_.clear();
      break;
    }
    const std::size_t end = 6 + std::size_t{header.Length};
    if (buffer_.size() < end) break;
    bodies.push_back(buffer_.substr(6, end - 6));
    transactions_.push_back(header.Transaction);
    buffer_.erase(0, end);
  }
  return bodies;
}

std::string MbapFramer::Encode(std::string_view body, bool corrupt) const {
  std::uint16_t transaction = 0;
  if (!transactions_.empty()) {
    transaction = transactions_.front();
    transactions_.pop_front();
  }
  std::string frame = MbapFrame(transaction, body);
  if (corrupt) frame[3] = '\x01';
  return frame;
}

void MbapFramer::NoReply() {
  if (!transactions_.empty()) transactions_.pop_front();
}

}  // namespace korvane::sim
