// The worker thread's one-slot command queue and the events under it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "AMThread.h"

namespace {

constexpr DWORD kQuit = 0;

// Answers each command with twice its value; polls for commands between units of "work".
class DoublingThread : public CAMThread {
 public:
  ~DoublingThread() override { Close(); }
  std::atomic<int> workDone{0};

 protected:
  DWORD ThreadProc() override {
    for (;;) {
      DWORD command = 0;
      while (!CheckRequest(&command)) {
        ++workDone;
        std::this_thread::yield();
      }
      // CheckRequest leaves the command pending: GetRequest returns the same one.
      const DWORD again = GetRequest();
      Reply(again == command ? command * 2 : static_cast<DWORD>(E_UNEXPECTED));
      if (command == kQuit) return 0;
    }
  }
};

TEST(AMThreadTest, CommandsAreAnsweredOneAtATimeToTheirOwnCaller) {
  DoublingThread worker;
  EXPECT_EQ(worker.CallWorker(21), static_cast<DWORD>(E_FAIL)) << "no worker yet";
  ASSERT_TRUE(worker.Create());
  EXPECT_FALSE(worker.Create()) << "one worker at a time";
  EXPECT_EQ(worker.CallWorker(21), 42u);

  // Several controlling threads at once: every caller gets the answer to its own command.
  std::atomic<int> mismatches{0};
  std::vector<std::thread> callers;
  for (DWORD id = 1; id <= 4; ++id) {
    callers.emplace_back([&, id] {
      for (DWORD i = 0; i < 200; ++i) {
        const DWORD command = id * 1000 + i + 1;
        if (worker.CallWorker(command) != command * 2) ++mismatches;
      }
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(mismatches, 0);
  // Without commands the worker goes on working (given a moment on a busy machine).
  for (int i = 0; i < 5000 && worker.workDone == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GT(worker.workDone, 0);

  EXPECT_EQ(worker.CallWorker(kQuit), 0u);
  worker.Close();
  EXPECT_FALSE(worker.ThreadExists());
}

TEST(AMThreadTest, EventsResetAsConfigured) {
  CAMEvent automatic;
  EXPECT_FALSE(automatic.Wait(0));
  automatic.Set();
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.Check()) << "the wait that saw it reset it";

  CAMEvent manual(EventReset::Manual);
  manual.Set();
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Check()) << "stays set until Reset";
  manual.Reset();
  EXPECT_FALSE(manual.Wait(1));

  CAMEvent late;
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    late.Set();
  });
  EXPECT_TRUE(late.Wait(INFINITE));
  setter.join();
}

// Threads polling with a zero time-out: one signal of an auto-reset event is seen by exactly
// one poll; a manual-reset event stays set for every poller (each stops once it sees it).
TEST(AMThreadTest, ZeroTimeoutPollsShareOneSignal) {
  constexpr int kPollers = 4;
  CAMEvent automatic;
  CAMEvent manual(EventReset::Manual);
  std::atomic<int> automaticSeen{0};
  std::vector<std::thread> pollers;
  for (int i = 0; i < kPollers; ++i) {
    pollers.emplace_back([&] {
      bool stop = false;
      while (!stop) {
        stop = manual.Wait(0);  // set after `automatic`, so one more poll below sees the rest
        if (automatic.Wait(0)) ++automaticSeen;
      }
    });
  }
  automatic.Set();
  manual.Set();
  for (auto& poller : pollers) poller.join();
  EXPECT_EQ(automaticSeen, 1);
  EXPECT_FALSE(automatic.Wait(0));
  EXPECT_TRUE(manual.Wait(0));
}

}  // namespace
