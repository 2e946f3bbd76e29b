#include "files/TextFileSink.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/FileError.h"
#include "base/FileIo.h"

namespace korvane {

TextFileSink::TextFileSink(const std::string& path, Mode mode) { Open(path, mode); }

void TextFileSink::Open(const std::string& path, Mode mode) {
  // The type is checked before the open, which could wait for a reader on a
  // pipe; O_NONBLOCK covers an entry swapped in between.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
    if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode)) return Fail(EACCES);
  } else if (errno != ENOENT || mode == Mode::AppendExisting) {
    return Fail(errno);
  }
  int flags = O_WRONLY | fileio::kOpenFlags;
  flags |= mode == Mode::CreateOrEmpty ? O_CREAT | O_TRUNC : O_APPEND;
  do {
    fd_ = ::open(path.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) return Fail(errno);
  if (::fstat(fd_, &st) != 0) return Fail(errno);
  if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode)) return Fail(EACCES);
  regular_ = S_ISREG(st.st_mode);
  kept_ = regular_ ? st.st_size : 0;
}

TextFileSink::~TextFileSink() {
  if (fd_ >= 0) ::close(fd_);
}

void TextFileSink::Fail(int errnoValue) {
  if (errno_ == 0) errno_ = errnoValue != 0 ? errnoValue : EIO;
}

bool TextFileSink::Write(std::string_view lines) {
  if (errno_ != 0 || fd_ < 0) return false;
  std::size_t done = 0;
  while (done < lines.size()) {
    const ssize_t n = fileio::Write(fd_, lines.data() + done, lines.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      Fail(n < 0 ? errno : EIO);
      break;
    }
  }
  std::size_t whole = done;
  if (errno_ != 0) {
    const std::size_t lastEnd = lines.substr(0, done).rfind('\n');
    whole = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
    if (regular_ && whole < done) {
      while (::ftruncate(fd_, kept_ + static_cast<off_t>(whole)) != 0 && errno == EINTR) {
      }
    }
  }
  kept_ += static_cast<off_t>(whole);
  return errno_ == 0;
}

std::optional<std::string> TextFileSink::Close() {
  if (fd_ >= 0) {
    // close(2) may report a late write failure (a network file system); the
    // descriptor is released either way, so it is never retried.
    if (::close(fd_) != 0 && errno != EINTR) Fail(errno);
    fd_ = -1;
  }
  if (errno_ == 0) return std::nullopt;
  return FileErrorMessage(FileErrorFromErrno(errno_));
}

}  // namespace korvane
