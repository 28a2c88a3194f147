#include "StreamReceiver.h"

namespace rtspplay {

std::unique_ptr<StreamReceiver> StreamReceiver::Create(const std::string& outPath,
                                                       std::string& error) {
  File out;
  if (!outPath.empty()) {
    out.reset(std::fopen(outPath.c_str(), "wb"));
    if (!out) {
      error = "cannot write " + outPath;
      return nullptr;
    }
  }
  return std::unique_ptr<StreamReceiver>(new StreamReceiver(std::move(out)));
}

void StreamReceiver::OnHeader(const uint8_t* bytes, size_t length) {
  std::lock_guard guard(lock_);
  header_.assign(bytes, bytes + length);
  Write(bytes, length);
}

void StreamReceiver::OnStream(const uint8_t* bytes, size_t length) {
  std::lock_guard guard(lock_);
  totals_.bytes += length;
  assembler_.Append({bytes, length});
  while (const auto group = assembler_.Next()) {
    ++totals_.groups;
    Write(group->start, group->Size());
  }
  totals_.skipped = assembler_.SkippedBytes();
}

Totals StreamReceiver::Snapshot() {
  std::lock_guard guard(lock_);
  return totals_;
}

std::vector<uint8_t> StreamReceiver::Header() {
  std::lock_guard guard(lock_);
  return header_;
}

bool StreamReceiver::OutputGood() {
  std::lock_guard guard(lock_);
  return outputGood_ && (!out_ || std::fflush(out_.get()) == 0);
}

void StreamReceiver::Write(const uint8_t* bytes, size_t length) {
  if (out_ && std::fwrite(bytes, 1, length, out_.get()) != length) outputGood_ = false;
}

}  // namespace rtspplay
