#include <cstdlib>

#include "support/ScopedEnv.h"

namespace korvane::test {

void SetEnv(const char* name, const std::string& value) { ::_putenv_s(name, value.c_str()); }
// An empty value removes the variable there.
void UnsetEnv(const char* name) { ::_putenv_s(name, ""); }

}  // namespace korvane::test
