#pragma once
// printf-style text for the tuning session's messages (numbers only, "."
// as the decimal point whatever the locale is not promised: the core never
// sets one).

#include <cstdio>
#include <string>

namespace korvane {

template <typename... Args>
std::string SessionText(const char* format, Args... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace korvane
