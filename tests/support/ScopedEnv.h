#pragma once
// Sets an environment variable for the life of the object and restores it
// (or its absence) afterwards. Header only, std + POSIX.

#include <cstdlib>
#include <optional>
#include <string>

namespace korvane::test {

class ScopedEnv {
 public:
  // Remembers the variable; it is restored when this object goes.
  explicit ScopedEnv(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) old_ = value;
  }
  ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name) { ::setenv(name, value.c_str(), 1); }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace korvane::test
