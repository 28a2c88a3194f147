#include "DeviceFixture.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "RecsimHarness.h"

namespace devicetest {

Recordings::Recordings() {
  root_ = std::filesystem::temp_directory_path() /
          ("devicetest-" + std::to_string(::getpid()) + "-" +
           std::to_string(reinterpret_cast<uintptr_t>(this)));
  std::filesystem::create_directories(root_ / "clips");
  recsimtest::WriteRecording(root_ / "main.mp4", {25, 25, 5});
  recsimtest::WriteRecording(root_ / "sub.mp4", {10, 25, 5});
  recsimtest::WriteRecording(root_ / "clips" / "short.mp4", {5, 25, 5});
}

Recordings::~Recordings() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::vector<uint8_t> Recordings::Bytes(const std::string& name) const {
  std::ifstream in(root_ / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> Recordings::Stream(const std::string& name) const {
  auto bytes = Bytes(name);
  bytes.erase(bytes.begin(), bytes.begin() + std::min<size_t>(40, bytes.size()));
  return bytes;
}

std::unique_ptr<recsim::RecsimProcess> StartDevice(const Recordings& recordings,
                                                   const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"--recorder-port", "0", "--legacy", "--legacy-port", "0",
                                   "--user", "admin:12345",
                                   "--channel", "1=" + recordings.Path("main.mp4"),
                                   "--substream", "1=" + recordings.Path("sub.mp4")};
  args.insert(args.end(), extra.begin(), extra.end());
  return std::make_unique<recsim::RecsimProcess>(RECSIM_BINARY, recordings.Root().string(),
                                                 args);
}

void Collector::Add(uint32_t type, const uint8_t* bytes, size_t size) {
  if (onBlock) onBlock();
  std::lock_guard guard(lock_);
  blocks_.push_back({type, std::vector<uint8_t>(bytes, bytes + size)});
  added_.notify_all();
}

bool Collector::WaitFor(const std::function<bool(const std::vector<Block>&)>& done) {
  std::unique_lock guard(lock_);
  return added_.wait_for(guard, 20s, [&] { return done(blocks_); });
}

bool Collector::WaitForBytes(size_t streamBytes) {
  return WaitFor([streamBytes](const std::vector<Block>& blocks) {
    size_t total = 0;
    for (size_t i = 1; i < blocks.size(); ++i) total += blocks[i].bytes.size();
    return total >= streamBytes;
  });
}

std::vector<Collector::Block> Collector::Blocks() {
  std::lock_guard guard(lock_);
  return blocks_;
}

size_t Collector::Count() {
  std::lock_guard guard(lock_);
  return blocks_.size();
}

std::vector<uint8_t> Collector::StreamBytes() {
  std::lock_guard guard(lock_);
  std::vector<uint8_t> bytes;
  for (size_t i = 1; i < blocks_.size(); ++i)
    bytes.insert(bytes.end(), blocks_[i].bytes.begin(), blocks_[i].bytes.end());
  return bytes;
}

bool StartsWith(const std::vector<uint8_t>& whole, const std::vector<uint8_t>& prefix) {
  return whole.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

}  // namespace devicetest
