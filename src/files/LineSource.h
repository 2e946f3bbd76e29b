#pragma once
// Reads a data log file line by line, in blocks, with bounded memory.
//
// Line rules of the log files: a line ends at a CR; an LF right after the
// CR is skipped, an LF anywhere else is an ordinary character (a file whose
// lines end in LF alone is one line). A byte 26 (Ctrl-Z) ends the file.
// Reading past the end gives empty lines.
//
// A line keeps at most kMaxLineBytes bytes; the rest of a longer line is
// read and dropped. So a 100 MB file, or a single 100 MB line, is read
// with one block buffer and one line of at most 64 KiB.
//
// The same rules read bytes already in memory: the parsers built on this
// class take a file's path or its bytes alike.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr std::size_t kMaxLineBytes = std::size_t{64} << 10;
// Bytes read from a file at a time.
inline constexpr std::size_t kLineBlockBytes = std::size_t{64} << 10;

class LineSource {
 public:
  // Opens `path` for reading. A folder, a pipe or any other entry that is
  // not a regular file is refused without blocking ("File access denied").
  explicit LineSource(const std::string& path);
  // Bytes to read as a file holding them, taken in blocks of `blockBytes`
  // (at least 1) as a file's are, lines kept up to `maxLineBytes`. The
  // bytes must outlive the source. Small blocks and a small line limit let
  // a test reach block edges and cut lines with a few bytes.
  struct Bytes {
    std::string_view bytes;
    std::size_t blockBytes = kLineBlockBytes;
    std::size_t maxLineBytes = kMaxLineBytes;
  };
  explicit LineSource(Bytes given);
  ~LineSource();
  LineSource(const LineSource&) = delete;
  LineSource& operator=(const LineSource&) = delete;

  // The file-error message of a failed open or read, if any.
  std::optional<std::string> Error() const;
  // No line left: the end of the file, a Ctrl-Z, or a failure.
  bool AtEnd();
  // The next line without its end; empty past the end. The view stays
  // valid until the next call.
  std::string_view ReadLine();

 private:
  int Open(const std::string& path);  // 0, or the errno of the failure
  bool Fill();  // more bytes into the buffer; false at the end or on failure
  void Fail(int errnoValue);

  int fd_ = -1;
  int errno_ = 0;
  bool ended_ = false;  // end of file or Ctrl-Z seen: no more bytes
  bool skipLf_ = false;  // the last line ended at a CR: an LF next is skipped
  std::unique_ptr<char[]> buffer_;  // the file's block buffer
  const char* block_ = nullptr;     // the block being read: buffer_, or a piece of the bytes given
  std::string_view unread_;         // bytes given and not yet taken as a block
  std::size_t blockBytes_ = kLineBlockBytes;
  std::size_t maxLineBytes_ = kMaxLineBytes;
  std::size_t pos_ = 0, size_ = 0;
  std::string line_;  // a line that crossed a block boundary
};

}  // namespace korvane
