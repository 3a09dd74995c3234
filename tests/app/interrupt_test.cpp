#include "app/interrupt.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <thread>

#include "scene/interrupt_target.h"

namespace {

// An interrupt may land on any thread while the scene driver withdraws and
// frees its state. Here another thread interrupts over and over while states are
// published, withdrawn and freed again and again. A handler that stored into
// a state after its withdrawal would write into freed memory, which the
// sanitizer runs of this test report (ThreadSanitizer whenever a handler's
// store is not ordered before the free); in an unsanitized run the mark set
// after the withdrawal catches a late store now and then.
TEST(Interrupt, StopsThePublishedStateAndNeverStoresIntoOneWithdrawn) {
  std::atomic<bool> done{false};
  std::thread interrupting([&] {
    while (!done.load()) {
      handle_interrupt(SIGINT);
      std::this_thread::yield();
    }
  });
  int late_stores = 0;
  for (int round = 0; round < 5000; ++round) {
    auto state = std::make_unique<AnimState>();
    state->running = 1;
    publish_interrupt_target(*state);
    withdraw_interrupt_target();
    state->running = 2;
    std::this_thread::yield();
    late_stores += state->running != 2 ? 1 : 0;
  }
  done = true;
  interrupting.join();
  EXPECT_EQ(late_stores, 0);
  handle_interrupt(SIGINT);  // outside a scene: nothing to stop

  AnimState scene;  // inside one, the scene is asked to stop
  scene.running = 1;
  publish_interrupt_target(scene);
  handle_interrupt(SIGINT);
  withdraw_interrupt_target();
  EXPECT_EQ(scene.running, 0);
}

}  // namespace
