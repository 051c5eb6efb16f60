// The signal between SQLCancel on one thread and a call waiting on another:
// only the running call of the named statement is marked, its wake-up
// descriptor becomes readable, and a new call starts unmarked.
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "protocol/cancel_signal.h"

namespace {

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1;
}

TEST(CancelSignal, MarksOnlyTheRunningCallOfItsStatement) {
  kestrion::CancelSignal signal;
  int a = 0, b = 0;
  ASSERT_GE(signal.wake_fd(), 0);
  EXPECT_FALSE(signal.Request(&a)) << "nothing runs";
  const void* outer = signal.Enter(&a);
  EXPECT_EQ(outer, nullptr);
  EXPECT_FALSE(signal.Request(&b)) << "another statement's call runs";
  EXPECT_FALSE(signal.requested());
  EXPECT_FALSE(Readable(signal.wake_fd()));
  EXPECT_TRUE(signal.Request(&a));
  EXPECT_TRUE(signal.Request(&a));
  EXPECT_TRUE(signal.requested());
  EXPECT_TRUE(Readable(signal.wake_fd()));
  // A call inside the call restores the outer one when it ends.
  const void* inner = signal.Enter(&b);
  EXPECT_EQ(inner, &a);
  EXPECT_FALSE(signal.requested());
  signal.Leave(inner);
  EXPECT_TRUE(signal.Request(&a));
  // A request for a call inside the call stops the outer one too.
  const void* again = signal.Enter(&b);
  EXPECT_FALSE(signal.requested());
  EXPECT_TRUE(signal.Request(&b));
  signal.Leave(again);
  EXPECT_TRUE(signal.requested());
  EXPECT_TRUE(Readable(signal.wake_fd()));
  signal.Leave(outer);
  EXPECT_FALSE(signal.requested());
  EXPECT_FALSE(Readable(signal.wake_fd())) << "a finished call leaves nothing behind";
  EXPECT_FALSE(signal.Request(&a));
}

// Run under ThreadSanitizer with the other thread tests.
TEST(ThreadsCancelSignal, RequestsRacingCallsNeverMarkAnotherCall) {
  kestrion::CancelSignal signal;
  int statement = 0;
  std::atomic<bool> stop{false};
  std::atomic<int> accepted{0};
  std::thread canceller([&] {
    while (!stop.load()) {
      if (signal.Request(&statement)) ++accepted;
    }
  });
  // Calls until some requests met a running call (or two seconds passed).
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (int call = 0; call < 20000 || (accepted.load() < 100 && std::chrono::steady_clock::now() < until);
       ++call) {
    const void* previous = signal.Enter(&statement);
    signal.Leave(previous);
  }
  stop = true;
  canceller.join();
  // Whatever was accepted was forgotten with its call.
  EXPECT_FALSE(signal.requested());
  EXPECT_FALSE(Readable(signal.wake_fd()));
}

}  // namespace
