#pragma once
// What the serial component asks of the operating system besides the device
// itself: the receive thread's priority and processor time, and the system timer resolution.
// PlatformPosix.cpp and PlatformWin32.cpp implement it; the build picks one.

#include <chrono>
#include <optional>
#include <thread>

#include "serial/SerialTypes.h"

namespace korvane {

// Sets the calling thread's scheduling priority. Best effort: a priority the
// system refuses (raising one without the right to) leaves it unchanged.
void SetCurrentThreadPriority(TThreadPriority priority);

// The processor time a running thread has used; nothing when it cannot be read.
std::optional<std::chrono::nanoseconds> ThreadCpuTime(std::thread& thread);

// Ask for, and give back, 1 ms system timer resolution so that the receive
// loop's pauses and the waits in Close are near their nominal length. Calls
// pair up; a system without the calls skips them silently.
void BeginTimerResolution();
void EndTimerResolution();

}  // namespace korvane
