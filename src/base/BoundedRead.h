#pragma once
// Reading a small text file whole, with a size bound, for the configuration
// and preset files.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Reads at most `maxBytes` bytes of the regular file `path`. Throws FileError:
// "File not found" for a missing file, "File access denied" for a directory
// or any other entry that is not a regular file (a pipe could block the
// program for good), the errno's mapping for other failures.
std::string ReadFileBounded(const std::string& path, std::size_t maxBytes);

// Splits 8-bit text into lines at LF, dropping a CR before the LF. A last
// line without a line end counts; an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace korvane
