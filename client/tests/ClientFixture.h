// Starts the library with short waits and fresh port pools, and clears the host recorder.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "HostRecorder.h"
#include "LoopbackRtspServer.h"
#include "PlayerManager.h"

namespace streamclient::test {

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
