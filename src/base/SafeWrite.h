#pragma once
// Replacing a file's contents without ever leaving a half-written file in
// its place.

#include <string>
#include <string_view>

namespace korvane {

// Writes `content` to a new file beside `target`, flushes it to the disk
// (fsync), renames it over the target and flushes the folder, so that after
// a power loss the target holds either the old or the new contents, never an
// empty or partial file. Every file the program replaces goes through here.
// A symbolic link is followed, so the file it points at is replaced and the
// link stays. A target whose permission bits allow nobody to write is
// treated as read-only. The replacement keeps the old file's permission bits. A folder, a device or a
// pipe is never replaced ("File access denied"). Throws FileError; on any
// failure the target is unchanged and no temporary file is left behind, except
// that a failed flush of the folder after the rename is reported with the new
// contents already in place.
void ReplaceFileContents(const std::string& target, std::string_view content);

}  // namespace korvane
