#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>

#include "base/DurableFile.h"
#include "base/LeanWindows.h"

namespace korvane::durable {
namespace {

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_NAME: return EINVAL;
    default: return EIO;
  }
}

}  // namespace

int CreateNew(const std::filesystem::path& path, int& fd) {
  fd = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
  return fd < 0 ? errno : 0;
}

int Sync(int fd) { return ::_commit(fd) == 0 ? 0 : errno; }

// A file there has only a read-only flag, and a read-only target is refused
// before the new file is made.
int KeepMode(int, std::filesystem::perms) { return 0; }

int Close(int fd) { return ::_close(fd) == 0 ? 0 : errno; }

// The write-through flag returns only once the move is on the disk, which
// covers the folder too.
int Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
  return ErrnoOf(::GetLastError());
}

int SyncFolder(const std::filesystem::path&) { return 0; }

}  // namespace korvane::durable
