#include "base/SafeWrite.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "base/DurableFile.h"
#include "base/FileError.h"
#include "base/FileIo.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void ThrowErrno(int e) { throw FileError::FromErrno(e != 0 ? e : EIO); }

fs::path TemporaryName(const fs::path& target, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path dir = target.parent_path();
  std::string name = "." + target.filename().string() + ".save-" + std::to_string(stamp % 1000000007) +
                     "-" + std::to_string(counter.fetch_add(1)) + "-" + std::to_string(attempt);
  return dir.empty() ? fs::path(name) : dir / name;
}

// Writes all bytes; 0 or the errno of the failed write.
int WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const auto n = fileio::Write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

}  // namespace

void ReplaceFileContents(const std::string& target, std::string_view content) {
  if (target.empty()) ThrowErrno(ENOENT);
  fs::path path(target);
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    fs::path real = fs::canonical(path, ec);
    if (!ec) path = real;  // a dangling link is replaced by the new file
  }

  fs::file_status status = fs::status(path, ec);
  bool keepPerms = false;
  fs::perms oldPerms = fs::perms::none;
  if (ec) {
    if (ec != std::errc::no_such_file_or_directory) ThrowErrno(ec.value());
  } else if (fs::is_regular_file(status)) {
    keepPerms = true;
    oldPerms = status.permissions();
    constexpr fs::perms kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((oldPerms & kWrite) == fs::perms::none) ThrowErrno(EACCES);
  } else if (!fs::is_directory(status)) {
    // A rename would put a plain file in the place of a device or a pipe.
    // A folder is left to the rename, which refuses it (EISDIR).
    ThrowErrno(EACCES);
  }

  fs::path temp;
  int fd = -1;
  for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TemporaryName(path, attempt);
    const int e = durable::CreateNew(temp, fd);
    if (fd < 0 && e != EEXIST) ThrowErrno(e);
  }
  if (fd < 0) ThrowErrno(EEXIST);

  auto fail = [&](int e) {
    if (fd >= 0) durable::Close(fd);
    std::error_code ignored;
    fs::remove(temp, ignored);
    ThrowErrno(e);
  };
  if (int e = WriteAll(fd, content)) fail(e);
  if (keepPerms) {
    if (int e = durable::KeepMode(fd, oldPerms)) fail(e);
  }
  // The contents reach the disk before the new name can point at them;
  // otherwise a power loss could leave an empty file under the old name.
  if (int e = durable::Sync(fd)) fail(e);
  const int closed = durable::Close(fd);
  fd = -1;
  if (closed != 0) fail(closed);
  if (int e = durable::Replace(temp, path)) fail(e);
  // The rename itself is durable only once the folder is flushed.
  if (int e = durable::SyncFolder(path)) ThrowErrno(e);
}

}  // namespace korvane
