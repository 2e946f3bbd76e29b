#pragma once
// One open-write-close of a data file, on plain POSIX calls.
//
// Bytes go straight to the file with write(2): nothing stays buffered in
// the program, so every line is in the file (flushed) once Write returns.
// A failed write never leaves part of a line behind: the file is cut back
// to the end of the last complete line that reached it, so a later failure
// (a full disk) loses nothing already written and leaves no broken line.
//
// Only regular files and character devices (such as /dev/null) are written;
// a folder, a pipe or a socket is refused before anything could block.

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace korvane {

class TextFileSink {
 public:
  enum class Mode {
    CreateOrEmpty,   // created, or emptied when it exists
    AppendExisting,  // appended to; a missing file fails ("File not found")
  };

  TextFileSink(const std::string& path, Mode mode);
  ~TextFileSink();
  TextFileSink(const TextFileSink&) = delete;
  TextFileSink& operator=(const TextFileSink&) = delete;

  // Writes `lines` (whole lines, each ending in LF). Does nothing once a
  // step has failed; false when this or an earlier step failed.
  bool Write(std::string_view lines);
  // Closes the file; the file-error message of the first failed step.
  std::optional<std::string> Close();

 private:
  void Open(const std::string& path, Mode mode);
  void Fail(int errnoValue);

  int fd_ = -1;
  int errno_ = 0;        // the first failure
  bool regular_ = false;  // only a regular file can be cut back
  off_t kept_ = 0;        // bytes of complete lines in the file
};

}  // namespace korvane
