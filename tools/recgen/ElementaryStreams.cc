#include "ElementaryStreams.h"

#include <bit>
#include <filesystem>
#include <stdexcept>

#include "ToneSource.h"
#include "VideoEncoder.h"

namespace recgen {

namespace {
constexpr const char* kPcmExtension = "pcm";
// The PCM file is little-endian and the tone is written in the host's byte order.
static_assert(std::endian::native == std::endian::little);
}  // namespace

ElementaryStreams::ElementaryStreams(const Options& options) {
  std::filesystem::create_directories(options.elementaryDir);
  base_ = (std::filesystem::path(options.elementaryDir) /
           std::filesystem::path(options.output).stem())
              .string();
  if (options.HasVideo()) video_ = Create(VideoExtension(options.codec));
  if (options.HasAudio()) {
    coding_ = FindAudioCoding(*options.audioCode);
    audio_ = Create(coding_->extension);
  }
}

std::ofstream ElementaryStreams::Create(const std::string& extension) {
  const std::string path = base_ + "." + extension;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw std::runtime_error("cannot create " + path);
  paths_.push_back(path);
  return file;
}

void ElementaryStreams::AddVideo(std::span<const uint8_t> frame) {
  video_.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
}

void ElementaryStreams::AddAudio(std::span<const uint8_t> block) {
  audio_.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
}

std::vector<std::string> ElementaryStreams::Finish(int64_t audioBlocks) {
  if (coding_) {
    std::ofstream pcm = Create(kPcmExtension);
    ToneSource tone(coding_->sampleRate);
    for (int64_t i = 0; i < audioBlocks; ++i) {
      const std::vector<int16_t> samples = tone.Next(coding_->BlockSamples());
      pcm.write(reinterpret_cast<const char*>(samples.data()),
                static_cast<std::streamsize>(samples.size() * sizeof(int16_t)));
    }
    if (!pcm) throw std::runtime_error("cannot write the PCM stream");
  }
  for (std::ofstream* file : {&video_, &audio_}) {
    if (!file->is_open()) continue;
    file->close();
    if (file->fail()) throw std::runtime_error("cannot write the elementary streams");
  }
  return paths_;
}

}  // namespace recgen
