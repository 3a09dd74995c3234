#include "scene/interrupt_target.h"

#include <atomic>
#include <thread>

namespace {

// Both in sequentially consistent order, not relaxed: a handler counts itself
// in before it reads the target, and the driver clears the target before it
// reads the count, so a handler either finds the target cleared or is counted
// before the driver looks, and the driver then waits for it.
std::atomic<AnimState*> target{nullptr};
std::atomic<int> handlers_inside{0};

static_assert(std::atomic<AnimState*>::is_always_lock_free, "the interrupt handler reads the target");
static_assert(std::atomic<int>::is_always_lock_free, "the interrupt handler counts itself");

}  // namespace

void publish_interrupt_target(AnimState& state) { target.store(&state); }

void withdraw_interrupt_target() {
  target.store(nullptr);
  while (handlers_inside.load() != 0) std::this_thread::yield();  // a handler on another thread finishing
}

void stop_interrupt_target() {
  handlers_inside.fetch_add(1);
  if (AnimState* state = target.load()) state->running.store(0, relaxed);
  handlers_inside.fetch_sub(1);
}
