#pragma once
// Sets an environment variable for the life of the object and restores it
// (or its absence) afterwards.

#include <cstdlib>
#include <optional>
#include <string>

namespace korvane::test {

// The C library's own calls (setenv/unsetenv, _putenv_s on Windows).
void SetEnv(const char* name, const std::string& value);
void UnsetEnv(const char* name);

class ScopedEnv {
 public:
  // Remembers the variable; it is restored when this object goes.
  explicit ScopedEnv(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) old_ = value;
  }
  ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name) { SetEnv(name, value); }
  ~ScopedEnv() {
    if (old_) {
      SetEnv(name_.c_str(), *old_);
    } else {
      UnsetEnv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace korvane::test
