#include "serial/Platform.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "base/LeanWindows.h"

namespace korvane {

namespace {

int WindowsPriority(TThreadPriority priority) {
  switch (priority) {
    case tpIdle: return THREAD_PRIORITY_IDLE;
    case tpLowest: return THREAD_PRIORITY_LOWEST;
    case tpLower: return THREAD_PRIORITY_BELOW_NORMAL;
    case tpNormal: return THREAD_PRIORITY_NORMAL;
    case tpHigher: return THREAD_PRIORITY_ABOVE_NORMAL;
    case tpHighest: return THREAD_PRIORITY_HIGHEST;
    case tpTimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
  }
  return THREAD_PRIORITY_NORMAL;
}

using TimePeriodCall = UINT(WINAPI*)(UINT);

// The multimedia timer calls, looked up in winmm.dll on first use (a module
// already loaded is used, else it is loaded). Until one is found every call
// looks again and is skipped.
TimePeriodCall LookUp(std::atomic<TimePeriodCall>& stored, const char* name) {
  TimePeriodCall call = stored.load();
  if (call != nullptr) return call;
  HMODULE module = ::GetModuleHandleA("winmm.dll");
  if (module == nullptr) module = ::LoadLibraryA("winmm.dll");
  if (module == nullptr) return nullptr;
  call = reinterpret_cast<TimePeriodCall>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  stored.store(call);
  return call;
}

std::atomic<TimePeriodCall> beginPeriod{nullptr};
std::atomic<TimePeriodCall> endPeriod{nullptr};

}  // namespace

void SetCurrentThreadPriority(TThreadPriority priority) {
  ::SetThreadPriority(::GetCurrentThread(), WindowsPriority(priority));
}

std::optional<std::chrono::nanoseconds> ThreadCpuTime(std::thread& thread) {
  // std::thread runs on winpthreads here: its handle leads to the Windows thread.
  HANDLE handle = ::pthread_gethandle(thread.native_handle());
  FILETIME created{}, exited{}, kernel{}, user{};
  if (handle == nullptr || !::GetThreadTimes(handle, &created, &exited, &kernel, &user)) {
    return std::nullopt;
  }
  auto ticks = [](const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  // FILETIME counts 100 ns steps.
  return std::chrono::nanoseconds(static_cast<std::int64_t>((ticks(kernel) + ticks(user)) * 100u));
}

void BeginTimerResolution() {
  if (TimePeriodCall call = LookUp(beginPeriod, "timeBeginPeriod")) call(1);
}

void EndTimerResolution() {
  if (TimePeriodCall call = LookUp(endPeriod, "timeEndPeriod")) call(1);
}

}  // namespace korvane
