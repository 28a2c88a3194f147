// What a host sees of the library: the data callback, the message callback and the sink, all
// recorded in arrival order so tests can check order and content.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "client/StreamClient.h"

namespace streamclient::test {

class HostRecorder {
 public:
  static HostRecorder& Instance();

  void Clear();
  std::vector<std::string> Events();
  int Count(const std::string& event);
  std::string Header();
  std::string Stream();
  std::vector<int> BlockSizes();
  int LastUserData();
  // Waits until at least `bytes` stream bytes arrived.
  bool WaitForStream(size_t bytes, int timeoutMs);

  void Add(const std::string& event);
  void AddData(int userData, int dataType, const unsigned char* buffer, int length);

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> events_;  // guarded by lock_
  std::string header_;               // guarded by lock_
  std::string stream_;               // guarded by lock_
  std::vector<int> blocks_;          // guarded by lock_
  int userData_ = -1;                // guarded by lock_
};

int RecordData(int handle, int userData, int dataType, unsigned char* buffer, int length);
int RecordMessage(int handle, int msg, int param1, int param2);

class RecordingSink : public StreamSinkDefaults {
 public:
  int OnTotalTime(int totalTime) override;
  int OnPresentationOpened(int ok) override;
  int OnPresentationClosed() override { return 0; }
  int OnDisconnected() override;
};

}  // namespace streamclient::test
