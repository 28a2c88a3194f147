#include "HostRecorder.h"

namespace streamclient::test {

HostRecorder& HostRecorder::Instance() {
  static HostRecorder recorder;
  return recorder;
}

void HostRecorder::Clear() {
  std::lock_guard guard(lock_);
  events_.clear();
  header_.clear();
  stream_.clear();
  blocks_.clear();
  userData_ = -1;
}

std::vector<std::string> HostRecorder::Events() {
  std::lock_guard guard(lock_);
  return events_;
}

int HostRecorder::Count(const std::string& event) {
  std::lock_guard guard(lock_);
  int count = 0;
  for (const std::string& e : events_) count += e == event;
  return count;
}

std::string HostRecorder::Header() {
  std::lock_guard guard(lock_);
  return header_;
}

std::string HostRecorder::Stream() {
  std::lock_guard guard(lock_);
  return stream_;
}

std::vector<int> HostRecorder::BlockSizes() {
  std::lock_guard guard(lock_);
  return blocks_;
}

int HostRecorder::LastUserData() {
  std::lock_guard guard(lock_);
  return userData_;
}

bool HostRecorder::WaitForStream(size_t bytes, int timeoutMs) {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                           [&] { return stream_.size() >= bytes; });
}

void HostRecorder::Add(const std::string& event) {
  std::lock_guard guard(lock_);
  events_.push_back(event);
  changed_.notify_all();
}

void HostRecorder::AddData(int userData, int dataType, const unsigned char* buffer, int length) {
  std::lock_guard guard(lock_);
  userData_ = userData;
  const std::string bytes(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
  if (dataType == DATA_HEADER) {
    header_ = bytes;
    events_.push_back("header:" + std::to_string(length));
  } else {
    if (stream_.empty()) events_.push_back("stream");
    stream_ += bytes;
    blocks_.push_back(length);
  }
  changed_.notify_all();
}

int RecordData(int, int userData, int dataType, unsigned char* buffer, int length) {
  HostRecorder::Instance().AddData(userData, dataType, buffer, length);
  return 0;
}

int RecordMessage(int, int msg, int param1, int) {
  HostRecorder::Instance().Add("msg:" + std::to_string(msg) + ":" + std::to_string(param1));
  return 0;
}

int RecordingSink::OnTotalTime(int totalTime) {
  HostRecorder::Instance().Add("total:" + std::to_string(totalTime));
  return 0;
}

int RecordingSink::OnPresentationOpened(int ok) {
  HostRecorder::Instance().Add("opened:" + std::to_string(ok));
  return 0;
}

int RecordingSink::OnDisconnected() {
  HostRecorder::Instance().Add("disconnected");
  return 0;
}

}  // namespace streamclient::test
