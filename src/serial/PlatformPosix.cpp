#include "serial/Platform.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>

namespace korvane {

namespace {

// Nice values standing in for the Windows thread priorities -15, -2, -1, 0,
// 1, 2, 15. Raising a thread above normal needs CAP_SYS_NICE; without it the
// request fails and the thread keeps running at normal priority.
int NiceValue(TThreadPriority priority) {
  switch (priority) {
    case tpIdle: return 19;
    case tpLowest: return 10;
    case tpLower: return 5;
    case tpNormal: return 0;
    case tpHigher: return -5;
    case tpHighest: return -10;
    case tpTimeCritical: return -20;
  }
  return 0;
}

}  // namespace

void SetCurrentThreadPriority(TThreadPriority priority) {
  // Linux schedules threads as tasks: the nice value of this thread's id.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), NiceValue(priority));
}

std::optional<std::chrono::nanoseconds> ThreadCpuTime(std::thread& thread) {
  clockid_t clock{};
  if (::pthread_getcpuclockid(thread.native_handle(), &clock) != 0) return std::nullopt;
  timespec used{};
  if (::clock_gettime(clock, &used) != 0) return std::nullopt;
  return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

// Linux sleeps already have (sub-)millisecond resolution: nothing to ask for
// and nothing to give back.
void BeginTimerResolution() {}
void EndTimerResolution() {}

}  // namespace korvane
