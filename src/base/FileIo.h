#pragma once
// The POSIX file calls of the data files, spelled so that they build on
// Windows too: the open flags, and read/write counts in the C library's
// own type (unsigned int there).

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <limits>

namespace korvane::fileio {

#ifdef _WIN32
// Byte for byte (no CR LF translation), not inherited by child programs.
// Windows has no non-blocking open: its file system holds no pipes.
inline constexpr int kOpenFlags = O_BINARY | O_NOINHERIT;
using Count = unsigned int;
#else
// Not inherited by child programs; a pipe in the way does not block the open.
inline constexpr int kOpenFlags = O_CLOEXEC | O_NONBLOCK;
using Count = std::size_t;
#endif

// A count the call takes; a larger request is served in several calls.
inline Count Clamp(std::size_t count) {
  constexpr std::size_t kMax = std::numeric_limits<int>::max();
  return static_cast<Count>(count > kMax ? kMax : count);
}

inline ssize_t Read(int fd, void* buffer, std::size_t count) {
  return ::read(fd, buffer, Clamp(count));
}

inline ssize_t Write(int fd, const void* bytes, std::size_t count) {
  return ::write(fd, bytes, Clamp(count));
}

}  // namespace korvane::fileio
