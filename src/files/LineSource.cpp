#include "files/LineSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/FileError.h"
#include "base/FileIo.h"

namespace korvane {
namespace {

constexpr char kCtrlZ = 26;

}  // namespace

LineSource::LineSource(const std::string& path) {
  if (const int error = Open(path)) Fail(error);
}

LineSource::LineSource(Bytes given)
    : unread_(given.bytes),
      blockBytes_(std::max<std::size_t>(given.blockBytes, 1)),
      maxLineBytes_(given.maxLineBytes) {}

int LineSource::Open(const std::string& path) {
  // O_NONBLOCK: opening a pipe must not wait for a writer; the type check
  // below then refuses it. Reads of a regular file ignore the flag.
  do {
    fd_ = ::open(path.c_str(), O_RDONLY | fileio::kOpenFlags);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) return errno;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EACCES;
  buffer_ = std::make_unique_for_overwrite<char[]>(kLineBlockBytes);
  block_ = buffer_.get();
  return 0;
}

LineSource::~LineSource() {
  if (fd_ >= 0) ::close(fd_);
}

void LineSource::Fail(int errnoValue) {
  if (errno_ == 0) errno_ = errnoValue != 0 ? errnoValue : EIO;
  ended_ = true;
  pos_ = size_ = 0;
}

std::optional<std::string> LineSource::Error() const {
  if (errno_ == 0) return std::nullopt;
  return FileErrorMessage(FileErrorFromErrno(errno_));
}

bool LineSource::Fill() {
  if (fd_ < 0) {  // bytes given, or a file that failed to open (ended)
    if (ended_ || unread_.empty()) {
      ended_ = true;
      return false;
    }
    block_ = unread_.data();
    size_ = std::min(blockBytes_, unread_.size());
    pos_ = 0;
    unread_.remove_prefix(size_);
    return true;
  }
  while (!ended_) {
    const ssize_t n = fileio::Read(fd_, buffer_.get(), kLineBlockBytes);
    if (n > 0) {
      pos_ = 0;
      size_ = static_cast<std::size_t>(n);
      return true;
    }
    if (n == 0) {
      ended_ = true;
    } else if (errno != EINTR) {
      Fail(errno);
    }
  }
  return false;
}

bool LineSource::AtEnd() {
  for (;;) {
    if (pos_ == size_ && !Fill()) return true;
    if (skipLf_) {
      skipLf_ = false;
      if (block_[pos_] == '\n') {
        ++pos_;
        continue;
      }
    }
    if (block_[pos_] == kCtrlZ) {
      ended_ = true;
      pos_ = size_ = 0;
      return true;
    }
    return false;
  }
}

std::string_view LineSource::ReadLine() {
  line_.clear();
  if (AtEnd()) return line_;
  bool copied = false;  // the line started in an earlier block
  for (;;) {
    const char* start = block_ + pos_;
    const std::size_t avail = size_ - pos_;
    const auto* cr = static_cast<const char*>(std::memchr(start, '\r', avail));
    std::size_t length = cr != nullptr ? static_cast<std::size_t>(cr - start) : avail;
    const auto* ctrlZ = static_cast<const char*>(std::memchr(start, kCtrlZ, length));
    if (ctrlZ != nullptr) length = static_cast<std::size_t>(ctrlZ - start);
    const std::size_t room = maxLineBytes_ - std::min(maxLineBytes_, line_.size());
    if (cr != nullptr || ctrlZ != nullptr) {
      pos_ += length + 1;
      if (ctrlZ != nullptr) {
        ended_ = true;
        pos_ = size_ = 0;
      } else {
        skipLf_ = true;
      }
      // A line that lies whole in this block is handed out as a view of it.
      if (!copied) return std::string_view(start, std::min(length, maxLineBytes_));
      line_.append(start, std::min(length, room));
      return line_;
    }
    line_.append(start, std::min(length, room));
    copied = true;
    pos_ = size_;
    if (!Fill()) return line_;
  }
}

}  // namespace korvane
