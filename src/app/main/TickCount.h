#pragma once
// The window's clock is the core's tick count (base/TickCount.h).

#include "base/TickCount.h"
