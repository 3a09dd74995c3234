// libintro_clock.so: the virtual clock (virtual_clock.h). One mutex and one
// condition variable guard the simulated time and the state of every worker.
#define INTRO_CLOCK_DEFINITION
#include "virtual_clock.h"

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>

#define CLOCK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum class Run { busy, asleep, ended };

struct Worker {
  pthread_t thread{};
  Run run = Run::busy;  // a new worker is busy until its first sleep
  int64_t wake_ns = 0;  // while asleep
};

struct Clock {
  std::mutex lock;
  std::condition_variable changed;
  int64_t now_ns = 0;
  std::list<Worker> workers;  // the timed threads not yet joined
};

// Never destroyed: workers may still sleep while the process exits.
Clock& timeline = *new Clock;
thread_local Worker* self = nullptr;  // the calling thread's record, if it is a timed worker

template <typename Fn>
Fn real(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}
const auto real_usleep = real<int (*)(useconds_t)>("usleep");
const auto real_pthread_create =
    real<int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)>("pthread_create");
const auto real_pthread_join = real<int (*)(pthread_t, void**)>("pthread_join");

bool any_busy() {
  return std::any_of(timeline.workers.begin(), timeline.workers.end(), [](const Worker& w) { return w.run == Run::busy; });
}

// The earliest wake time of a sleeping worker, or -1 when none sleeps.
int64_t next_wake_ns() {
  int64_t next = -1;
  for (const Worker& worker : timeline.workers)
    if (worker.run == Run::asleep && (next < 0 || worker.wake_ns < next)) next = worker.wake_ns;
  return next;
}

// Moves the clock to the next wake time, if it is not after `limit_ns`, and
// lets the workers due then run until each sleeps again or ends. Returns
// false when no worker is due by then.
bool run_next_wake(std::unique_lock<std::mutex>& hold, int64_t limit_ns) {
  timeline.changed.wait(hold, [] { return !any_busy(); });
  const int64_t wake = next_wake_ns();
  if (wake < 0 || wake > limit_ns) return false;
  timeline.now_ns = std::max(timeline.now_ns, wake);
  for (Worker& worker : timeline.workers)
    if (worker.run == Run::asleep && worker.wake_ns <= timeline.now_ns) worker.run = Run::busy;
  timeline.changed.notify_all();
  timeline.changed.wait(hold, [] { return !any_busy(); });
  return true;
}

void mark_ended(Worker* worker) {
  std::lock_guard<std::mutex> hold(timeline.lock);
  worker->run = Run::ended;
  timeline.changed.notify_all();
}

struct Start {
  void* (*entry)(void*);
  void* argument;
  Worker* worker;
};

void* run_worker(void* start_pointer) {
  const Start start = *static_cast<Start*>(start_pointer);
  delete static_cast<Start*>(start_pointer);
  self = start.worker;
  // Also on pthread_exit, which unwinds through here.
  struct Ended {
    ~Ended() {
      if (self != nullptr) mark_ended(self);
    }
  } ended;
  return start.entry(start.argument);
}

}  // namespace

CLOCK_EXPORT long long intro_clock_now_ns() {
  std::lock_guard<std::mutex> hold(timeline.lock);
  return timeline.now_ns;
}

CLOCK_EXPORT void intro_clock_pass_ns(long long ns) {
  std::unique_lock<std::mutex> hold(timeline.lock);
  const int64_t target = timeline.now_ns + std::max(ns, 0LL);
  while (run_next_wake(hold, target)) {
  }
  timeline.now_ns = target;
}

CLOCK_EXPORT void intro_clock_untimed_thread() {
  if (self == nullptr) return;
  std::lock_guard<std::mutex> hold(timeline.lock);
  Worker* leaving = self;
  timeline.workers.remove_if([leaving](const Worker& w) { return &w == leaving; });
  self = nullptr;
  timeline.changed.notify_all();
}

CLOCK_EXPORT int usleep(useconds_t microseconds) {
  if (self == nullptr) return real_usleep(microseconds);
  std::unique_lock<std::mutex> hold(timeline.lock);
  self->wake_ns = timeline.now_ns + int64_t(microseconds) * 1000;
  self->run = Run::asleep;
  timeline.changed.notify_all();
  timeline.changed.wait(hold, [] { return self->run == Run::busy; });
  return 0;
}

CLOCK_EXPORT int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*entry)(void*),
                                void* argument) {
  Worker* worker;
  {
    std::lock_guard<std::mutex> hold(timeline.lock);
    worker = &timeline.workers.emplace_back();
  }
  const int result = real_pthread_create(thread, attributes, run_worker, new Start{entry, argument, worker});
  std::lock_guard<std::mutex> hold(timeline.lock);
  // A helper thread may already have left the clock, and its record with it.
  const auto created = std::find_if(timeline.workers.begin(), timeline.workers.end(),
                                    [worker](const Worker& w) { return &w == worker; });
  if (created != timeline.workers.end()) {
    if (result != 0)
      timeline.workers.erase(created);
    else
      created->thread = *thread;
  }
  timeline.changed.notify_all();
  return result;
}

// A worker that sleeps is only woken by time passing: the wait for it lets
// time pass until it has ended.
CLOCK_EXPORT int pthread_join(pthread_t thread, void** result) {
  {
    std::unique_lock<std::mutex> hold(timeline.lock);
    const auto joined = std::find_if(timeline.workers.begin(), timeline.workers.end(),
                                     [thread](const Worker& w) { return pthread_equal(w.thread, thread); });
    if (joined != timeline.workers.end()) {
      while (joined->run != Run::ended) run_next_wake(hold, INT64_MAX);
      timeline.workers.erase(joined);
    }
  }
  return real_pthread_join(thread, result);
}
