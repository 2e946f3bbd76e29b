#pragma once
// The operating-system calls behind a safe file replacement: create a new
// file exclusively, flush it, give it the old file's permission bits, move
// it over the target and flush the folder. Each returns 0 or an errno value,
// so the caller maps every failure to the same file-error texts.

#include <filesystem>

namespace korvane::durable {

// Creates `path` for writing, failing with EEXIST when it already exists.
int CreateNew(const std::filesystem::path& path, int& fd);
// Writes the file's contents through to the disk.
int Sync(int fd);
// Gives the open file the permission bits of the file it will replace
// (nothing to do where files carry no such bits).
int KeepMode(int fd, std::filesystem::perms perms);
int Close(int fd);
// Moves `from` over `to`, replacing it atomically.
int Replace(const std::filesystem::path& from, const std::filesystem::path& to);
// Makes the new name in `file`'s folder durable.
int SyncFolder(const std::filesystem::path& file);

}  // namespace korvane::durable
