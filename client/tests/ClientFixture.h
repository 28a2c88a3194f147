// Starts the library with short waits and fresh port pools, and clears the host recorder.
#pragma once

#include <gtest/gtest.h>

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
    timings.keepAlivePollMs = 10;
    PlayerManager::Instance().SetTimings(timings);
    PlayerManager::Instance().Pools().udp.Fill(kFirstClientPort, kClientPortLimit);
    PlayerManager::Instance().Pools().tcp.Fill(kFirstClientPort, kClientPortLimit);
    HostRecorder::Instance().Clear();
  }

  HostRecorder& Host() { return HostRecorder::Instance(); }

  // A player with sink, data and message callbacks; transport 0 is TCP, 1 UDP.
  int NewPlayer(int transport) {
    return QRLS_CreatePlayer(&sink_, 0, RecordData, RecordMessage, transport);
  }

  RecordingSink sink_;
};

}  // namespace streamclient::test
