#include "base/SafeWrite.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/FileError.h"

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
  bool exists = false;
  fs::perms oldPerms = fs::perms::none;
  if (ec) {
    if (ec != std::errc::no_such_file_or_directory) ThrowErrno(ec.value());
  } else if (fs::exists(status)) {
    exists = true;
    // Only a regular file may be replaced: a rename would otherwise put a
    // plain file in the place of a directory, a device or a pipe.
    if (fs::is_directory(status)) ThrowErrno(EISDIR);
    if (!fs::is_regular_file(status)) ThrowErrno(EACCES);
    oldPerms = status.permissions();
    constexpr fs::perms kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((oldPerms & kWrite) == fs::perms::none) ThrowErrno(EACCES);
  }

  fs::path temp;
  std::FILE* file = nullptr;
  for (unsigned attempt = 0; attempt < 100 && file == nullptr; ++attempt) {
    temp = TemporaryName(path, attempt);
    errno = 0;
    file = std::fopen(temp.string().c_str(), "wbx");
    if (file == nullptr && errno != EEXIST) ThrowErrno(errno);
  }
  if (file == nullptr) ThrowErrno(EEXIST);

  auto fail = [&](int e) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    ThrowErrno(e);
  };
  errno = 0;
  std::size_t written = std::fwrite(content.data(), 1, content.size(), file);
  int writeErrno = errno;
  if (written != content.size() || std::fflush(file) != 0) {
    if (writeErrno == 0) writeErrno = errno;
    std::fclose(file);
    fail(writeErrno);
  }
  errno = 0;
  if (std::fclose(file) != 0) fail(errno);

  if (exists) fs::permissions(temp, oldPerms, fs::perm_options::replace, ec);
  fs::rename(temp, path, ec);
  if (ec) fail(ec.value());
}

}  // namespace korvane
