// Starts the library with short waits and fresh port pools, and clears the host recorder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "HostRecorder.h"
#include "LoopbackRtspServer.h"
#include "PlayerManager.h"

namespace streamclient::test {

// Sanitizers slow every thread many times over: time limits are not checked under them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Waits until the condition holds; false when it did not within the timeout.
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Runs fn on the session of a player with an open session, under the locks the library takes.
template <typename Fn>
auto OnSession(int handle, Fn fn) {
  PlayerManager& manager = PlayerManager::Instance();
  std::lock_guard handleGuard(manager.HandleLock(handle));
  Player* player = manager.Find(handle);
  std::lock_guard playerGuard(player->lock);
  return fn(*player->session);
}

class ClientFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(InitStreamClientLib(), 0);
    RtspTimings timings;
    timings.sendWaitMs = 1000;
    timings.receiveWaitMs = 1000;
    timings.keepAliveIntervalMs = 60000;  // only the possible first keep-alive
    PlayerManager::Instance().SetTimings(timings);
    PlayerManager::Instance().Pools().udp.Fill(kFirstClientPort, kClientPortLimit);
    PlayerManager::Instance().Pools().tcp.Fill(kFirstClientPort, kClientPortLimit);
    HostRecorder::Instance().Clear();
  }

  // Players a failed assertion left behind must not call the sink after the test is gone.
  void TearDown() override {
    for (int handle : created_) QRLS_Destroy(handle);
  }

  HostRecorder& Host() { return HostRecorder::Instance(); }

  // A player with sink, data and message callbacks; transport 0 is TCP, 1 UDP.
  int NewPlayer(int transport) {
    return Track(QRLS_CreatePlayer(&sink_, 0, RecordData, RecordMessage, transport));
  }

  int Track(int handle) {
    if (handle >= 0) created_.push_back(handle);
    return handle;
  }

  RecordingSink sink_;
  std::vector<int> created_;
};

}  // namespace streamclient::test
