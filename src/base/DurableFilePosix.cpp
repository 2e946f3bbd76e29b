#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/DurableFile.h"

namespace korvane::durable {

int CreateNew(const std::filesystem::path& path, int& fd) {
  fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  return fd < 0 ? errno : 0;
}

int Sync(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

int KeepMode(int fd, std::filesystem::perms perms) {
  return ::fchmod(fd, static_cast<mode_t>(perms)) == 0 ? 0 : errno;
}

int Close(int fd) { return ::close(fd) == 0 ? 0 : errno; }

int Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// A file system that cannot sync folders (EINVAL) has nothing more to flush.
int SyncFolder(const std::filesystem::path& file) {
  const std::filesystem::path dir = file.parent_path().empty() ? "." : file.parent_path();
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int e = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return e;
}

}  // namespace korvane::durable
