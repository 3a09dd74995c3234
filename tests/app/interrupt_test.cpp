#include "app/interrupt.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <thread>

#include "scene/interrupt_target.h"

// Inside a scene the interrupt asks it to stop; outside one it does nothing.
// It may land on any thread while the scene driver withdraws and frees its
// state: here another thread interrupts over and over while states are
// published, interrupted, withdrawn and freed. A handler that stored into a
// state after its withdrawal would write into freed memory, which the
// sanitizer runs of this test report; in an unsanitized run the mark set
// after the withdrawal catches a late store now and then.
TEST(Interrupt, StopsThePublishedStateAndNeverStoresIntoOneWithdrawn) {
  std::atomic<bool> done{false};
  std::thread interrupting([&] {
    while (!done.load()) handle_interrupt(SIGINT), std::this_thread::yield();
  });
  int still_running = 0, late_stores = 0;
  for (int round = 0; round < 5000; ++round) {
    auto state = std::make_unique<AnimState>();
    state->running = 1;
    publish_interrupt_target(*state);
    handle_interrupt(SIGINT);
    still_running += state->running != 0;
    withdraw_interrupt_target();
    state->running = 2;
    std::this_thread::yield();
    late_stores += state->running != 2;
  }
  done = true;
  interrupting.join();
  EXPECT_EQ(still_running, 0);
  EXPECT_EQ(late_stores, 0);
}
