// Fuzz target for the group parser. The first input byte chooses the system type and how the
// rest is cut into samples; the rest is the stream. Every sample the parser fills must stay
// within its buffer and carry a prefix that the layouts allow.
#include <cstdlib>
#include <memory>

#include "GroupParser.h"
#include "StreamBuilder.h"

namespace {

using namespace splitter;

// Hands out one fixed buffer at a time and checks what comes back.
class CheckingOutput : public SampleOutput {
 public:
  explicit CheckingOutput(size_t capacity) : buffer_(new uint8_t[capacity]), capacity_(capacity) {}
  HRESULT GetDeliveryBuffer(OutputSample& sample) override {
    if (held_) std::abort();  // one sample at a time, always released
    held_ = true;
    sample = OutputSample{};
    return S_OK;
  }
  HRESULT GetPointer(OutputSample& sample) override {
    sample.data = buffer_.get();
    sample.capacity = capacity_;
    return S_OK;
  }
  HRESULT Deliver(OutputSample& sample) override {
    if (sample.length > capacity_ || sample.stop < sample.start || !sample.syncPoint)
      std::abort();
    return S_OK;
  }
  void Release(OutputSample&) override { held_ = false; }

 private:
  std::unique_ptr<uint8_t[]> buffer_;
  size_t capacity_;
  bool held_ = false;
};

constexpr uint16_t kSystemTypes[] = {recorder::kSystemVideo, recorder::kSystemAudio,
                                     recorder::kSystemVideoAudio, 0};
constexpr size_t kPieceSizes[] = {1, 3, 7, 64, 511, 2048, 65536};
constexpr size_t kSampleCapacity = 4096;  // small, so that the capacity checks are exercised

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static CheckingOutput video(kSampleCapacity);
  static CheckingOutput audio(kSampleCapacity);
  static std::unique_ptr<GroupParser> parser;
  if (!parser && FAILED(GroupParser::Create(video, audio, parser))) std::abort();
  parser->Reset();
  parser->SetStreamFormat(testing::MakeFileHeader(kSystemTypes[data[0] & 3], data[0] >> 4));
  const size_t piece = kPieceSizes[(data[0] >> 2) % std::size(kPieceSizes)];
  for (size_t offset = 1; offset < size; offset += piece) {
    const size_t length = std::min(piece, size - offset);
    (void)parser->Receive(data + offset, static_cast<long>(length));
  }
  return 0;
}
