#include "base/BoundedRead.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "base/FileError.h"

namespace korvane {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string ReadFileBounded(const std::string& path, std::size_t maxBytes) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (ec) {
    throw FileError::FromErrno(ec.value() != 0 ? ec.value() : ENOENT);
  }
  if (status.type() != std::filesystem::file_type::regular) {
    throw FileError::FromErrno(std::filesystem::is_directory(status) ? EISDIR : EACCES);
  }
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw FileError::FromErrno(errno != 0 ? errno : EACCES);

  std::string content;
  char buffer[4096];
  while (content.size() < maxBytes) {
    std::size_t want = std::min(sizeof buffer, maxBytes - content.size());
    std::size_t got = std::fread(buffer, 1, want, file.get());
    content.append(buffer, got);
    if (got < want) {
      if (std::ferror(file.get())) throw FileError::FromErrno(errno != 0 ? errno : EIO);
      break;
    }
  }
  return content;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.emplace_back(text.substr(start, stop - start));
    start = next;
  }
  return lines;
}

}  // namespace korvane
