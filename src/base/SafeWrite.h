#pragma once
// Replacing a file's contents without ever leaving a half-written file in
// its place.

#include <string>
#include <string_view>

namespace korvane {

// Writes `content` to a new file beside `target` and renames it over the
// target once the write and close succeeded. A symbolic link is followed, so
// the file it points at is replaced and the link stays. A target whose
// permission bits allow nobody to write is treated as read-only. The
// replacement keeps the old file's permission bits. Throws FileError; on any
// failure the target is unchanged and no temporary file is left behind.
void ReplaceFileContents(const std::string& target, std::string_view content);

}  // namespace korvane
