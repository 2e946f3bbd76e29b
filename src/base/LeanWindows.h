#pragma once
// The Windows API with only the core of its headers: the rest defines
// macros such as SetPort (winspool) and min/max that clash with ordinary
// names.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
