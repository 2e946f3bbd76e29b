#include "support/TempDir.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

namespace korvane::test {

TempDir::TempDir() {
  // create_directory reports an existing folder, so a name is taken only by
  // the one that made it (what mkdtemp does, also where mkdtemp is missing).
  const auto base = std::filesystem::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 pick(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "korvane-test-%012llx",
                  static_cast<unsigned long long>(pick() & 0xFFFFFFFFFFFFull));
    const auto candidate = base / name;
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::replace, ec);
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  namespace fs = std::filesystem;
  std::error_code ec;
  // A test may have taken the write bit away; give it back so the folder goes.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string TempDir::File(std::string_view name) const {
  return (std::filesystem::path(path_) / name).string();
}

void TempDir::Write(std::string_view name, std::string_view bytes) const {
  std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::Read(std::string_view name) const {
  std::ifstream in(File(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace korvane::test
