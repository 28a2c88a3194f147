#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DebugOutput.h"
#include "LastError.h"
#include "SyncApi.h"

namespace {

TEST(DebugOutputTest, CaptureReceivesEveryTextUntilRemoved) {
  std::mutex mutex;
  std::vector<std::string> texts;
  SetDebugCapture([&](std::string_view text) {
    std::lock_guard lock(mutex);
    texts.emplace_back(text);
  });
  OutputDebugStringA("QrlNetSource: Load\n");
  OutputDebugStringW(u"caf\u00E9 \xD83D\xDE00");
  OutputDebugStringA(nullptr);
  std::thread other([] { OutputDebugStringA("from a thread"); });
  other.join();
  SetDebugCapture(nullptr);
  OutputDebugStringA("not captured");

  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "QrlNetSource: Load\n");
  EXPECT_EQ(texts[1], "caf\xC3\xA9 \xF0\x9F\x98\x80");
  EXPECT_EQ(texts[2], "from a thread");
}

TEST(DebugOutputTest, CaptureMayWriteDebugOutputItself) {
  int depth = 0;
  SetDebugCapture([&](std::string_view) {
    if (++depth == 1) OutputDebugStringA("nested");
  });
  OutputDebugStringA("outer");
  SetDebugCapture(nullptr);
  EXPECT_EQ(depth, 2);
}

TEST(DebugOutputDeathTest, GoesToStderrOnlyWhenAskedFor) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("RECAST_DEBUG", "1", 1);
        OutputDebugStringA("visible-debug-text");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "visible-debug-text");
  EXPECT_EXIT(
      {
        unsetenv("RECAST_DEBUG");
        OutputDebugStringA("hidden-debug-text");
        std::fputs("done", stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^done$");
}

TEST(EventTest, AutoResetReleasesOneWaitManualResetStaysSignalled) {
  HANDLE automatic = CreateEvent(nullptr, FALSE, TRUE, nullptr);
  HANDLE manual = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(automatic, nullptr);
  ASSERT_NE(manual, nullptr);

  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(manual, 10), WAIT_TIMEOUT);
  ASSERT_TRUE(SetEvent(manual));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, INFINITE), WAIT_OBJECT_0);
  ASSERT_TRUE(ResetEvent(manual));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

  EXPECT_TRUE(CloseHandle(automatic));
  EXPECT_TRUE(CloseHandle(manual));
}

TEST(EventTest, SetFromAnotherThreadEndsAnInfiniteWait) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<DWORD> result{WAIT_FAILED};
  std::thread waiter([&] { result = WaitForSingleObject(event, INFINITE); });
  Sleep(5);
  SetEvent(event);
  waiter.join();
  EXPECT_EQ(result.load(), WAIT_OBJECT_0);
  CloseHandle(event);
}

TEST(EventTest, InvalidHandlesAreRefused) {
  HANDLE event = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(CloseHandle(event));
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x1234), 0), WAIT_FAILED);
  EXPECT_EQ(CreateEvent(nullptr, TRUE, FALSE, u"Global\\named"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST(TickCountTest, AdvancesWithSleep) {
  const ULONGLONG start = GetTickCount64();
  Sleep(20);
  EXPECT_GE(GetTickCount64() - start, 20u);
  // The 32-bit count is the low half of the 64-bit one: read in this order, the later reading
  // can only be ahead, by however long this thread was held up between the two.
  const DWORD low = GetTickCount();
  const DWORD later = static_cast<DWORD>(GetTickCount64());
  EXPECT_LE(later - low, 1000u);
}

}  // namespace
