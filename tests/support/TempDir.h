#pragma once
// A private folder under the system's temporary folder, removed with
// everything in it when the object goes.

#include <string>
#include <string_view>

namespace korvane::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path of an entry inside the folder.
  std::string File(std::string_view name) const;
  // Writes (replacing) or reads a whole file inside the folder, byte for byte.
  void Write(std::string_view name, std::string_view bytes) const;
  std::string Read(std::string_view name) const;

 private:
  std::string path_;
};

}  // namespace korvane::test
