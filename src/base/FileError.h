#pragma once
// File-error numbers and their operator-facing messages.
//
// File operations report failures by a small error number whose message is
// fixed: 2 "File not found", 3 "Invalid filename", 4 "Too many open files",
// 5 "File access denied", 100 "Read beyond end of file", 101 "Disk full",
// 106 "Invalid numeric input", anything else "I/O error <n>".
//
// Mapping from the operating system's errno (FileErrorFromErrno):
//   ENOENT, ENOTDIR                      -> 2  File not found
//   ENAMETOOLONG, EINVAL, EILSEQ, ELOOP  -> 3  Invalid filename
//   EMFILE, ENFILE                       -> 4  Too many open files
//   EACCES, EPERM, EROFS, EISDIR, ETXTBSY, EEXIST -> 5  File access denied
//   ENOSPC, EDQUOT, EFBIG                -> 101 Disk full
//   any other errno e                    -> 1000 + e, shown as "I/O error <1000+e>"
// The offset keeps operating-system numbers apart from the fixed numbers
// above, so "I/O error 1005" (EIO) can never be mistaken for number 5.

#include <stdexcept>
#include <string>

namespace korvane {

std::string FileErrorMessage(int fileError);
int FileErrorFromErrno(int errnoValue);

// A failed file operation; what() is the message for the operator.
class FileError : public std::runtime_error {
 public:
  explicit FileError(int fileError) : std::runtime_error(FileErrorMessage(fileError)), code_(fileError) {}
  int code() const noexcept { return code_; }
  // Builds the error from the current errno.
  static FileError FromErrno(int errnoValue) { return FileError(FileErrorFromErrno(errnoValue)); }

 private:
  int code_;
};

}  // namespace korvane
