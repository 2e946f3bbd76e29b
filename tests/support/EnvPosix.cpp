#include <cstdlib>

#include "support/ScopedEnv.h"

namespace korvane::test {

void SetEnv(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }
void UnsetEnv(const char* name) { ::unsetenv(name); }

}  // namespace korvane::test
