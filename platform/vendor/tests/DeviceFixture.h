// Harness for the recorder libraries: recordings in a temporary folder, a simulated recorder
// (recsim as a child process on free ports) serving them, and a collector of what the data
// callbacks deliver.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "RecsimProcess.h"

namespace devicetest {

using namespace std::chrono_literals;

// A folder with three recordings: "main.mp4" (1 s, 25 frames), "sub.mp4" (10 frames) and
// "clips/short.mp4" (5 frames); removed with the object.
class Recordings {
 public:
  Recordings();
  ~Recordings();
  std::filesystem::path Root() const { return root_; }
  std::string Path(const std::string& name) const { return (root_ / name).string(); }
  // The whole file, and its bytes after the 40-byte header.
  std::vector<uint8_t> Bytes(const std::string& name) const;
  std::vector<uint8_t> Stream(const std::string& name) const;

 private:
  std::filesystem::path root_;
};

// recsim with the device side on free ports, channel 1 (main.mp4, sub-stream sub.mp4), user
// "admin:12345" and `extra` options.
std::unique_ptr<recsim::RecsimProcess> StartDevice(const Recordings& recordings,
                                                   const std::vector<std::string>& extra = {});

// What one stream's callbacks delivered, in order.
class Collector {
 public:
  struct Block {
    uint32_t type = 0;  // 0 for the legacy client, which has no types
    std::vector<uint8_t> bytes;
  };

  void Add(uint32_t type, const uint8_t* bytes, size_t size);
  // Waits (up to 20 s) until `done` holds for the blocks so far.
  bool WaitFor(const std::function<bool(const std::vector<Block>&)>& done);
  bool WaitForBytes(size_t streamBytes);  // of blocks after the first
  std::vector<Block> Blocks();
  size_t Count();
  // The bytes of every block after the first (the header).
  std::vector<uint8_t> StreamBytes();

  // Runs inside each callback, outside the collector's lock (to hold a callback up).
  std::function<void()> onBlock;

 private:
  std::mutex lock_;
  std::condition_variable added_;
  std::vector<Block> blocks_;  // guarded by lock_
};

// True when `prefix` is where `whole` starts.
bool StartsWith(const std::vector<uint8_t>& whole, const std::vector<uint8_t>& prefix);

}  // namespace devicetest
