#include "TestStream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "Recording.h"

namespace vendortest {

TestStream MakeTestStream(const TestStreamOptions& options) {
  recgen::Options recording;
  recording.codec = options.magic == recorder::kMagic4HLQ   ? recgen::VideoCodec::H264
                    : options.magic == recorder::kMagic4MSH ? recgen::VideoCodec::Mpeg4Sh
                                                            : recgen::VideoCodec::Mpeg4;
  recording.width = options.width;
  recording.height = options.height;
  recording.fps = options.fps;
  recording.frames = options.frames;
  recording.groupFrames = options.groupFrames;
  recording.audioCode = recorder::kAudioAdpcm;
  recording.damage.garbageBytes = options.garbageBytes;
  recording.damage.flipCount = options.flips;
  const auto path = std::filesystem::temp_directory_path() /
                    ("vidora_stream_" + std::to_string(::getpid()) + ".mp4");
  recording.output = path.string();
  TestStream stream;
  try {
    recgen::WriteRecording(recording);
  } catch (const std::exception& error) {
    ADD_FAILURE() << "recgen: " << error.what();
    return stream;
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::filesystem::remove(path);
  if (file.size() < recorder::kFileHeaderSize) {
    ADD_FAILURE() << "recgen wrote no header";
    return stream;
  }
  std::copy_n(file.begin(), recorder::kFileHeaderSize, stream.header.begin());
  stream.groups.assign(file.begin() + recorder::kFileHeaderSize, file.end());
  return stream;
}

}  // namespace vendortest
