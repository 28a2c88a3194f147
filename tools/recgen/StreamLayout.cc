#include "StreamLayout.h"

#include "AudioCodings.h"

namespace recgen {

using namespace recorder;

std::optional<uint32_t> ResolutionCodeFor(int width, int height, uint16_t videoStandard) {
  // 0x1004 repeats 0x1003, so the first code that gives the size wins.
  for (uint32_t code = kResolutionCif; code <= kResolution2Cif; ++code) {
    if (ResolutionFromCode(code, videoStandard) == PictureSize{width, height}) return code;
  }
  return std::nullopt;
}

uint32_t MagicFor(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::H264: return kMagic4HLQ;
    case VideoCodec::Mpeg4: return kMagic4MLQ;
    case VideoCodec::Mpeg4Sh: return kMagic4MSH;
  }
  return kMagic4HLQ;
}

namespace {

constexpr uint16_t kDecodedBitsPerSample = 16;  // the audio decoders deliver 16-bit PCM

uint32_t ResolutionWord(const Options& options) {
  if (options.oldHeader) {
    return ResolutionCodeFor(options.width, options.height, options.videoStandard)
        .value_or(kResolutionCif);
  }
  return static_cast<uint32_t>(options.width) | static_cast<uint32_t>(options.height) << 16;
}

}  // namespace

FileHeader MakeFileHeader(const Options& options) {
  FileHeader header;
  header.magic = MagicFor(options.codec);
  header.version = options.oldHeader ? kVersionWithCode : kVersionWithSize;
  header.systemType = options.SystemType();
  header.videoStandard = options.videoStandard;
  header.videoResolution = ResolutionWord(options);
  if (options.audioCode) {
    const AudioCoding* coding = FindAudioCoding(*options.audioCode);
    header.audioChannels = 1;
    header.audioBitsPerSample = kDecodedBitsPerSample;
    header.audioSampleRate = coding ? static_cast<uint32_t>(coding->sampleRate) : 0;
    header.audioCodec = *options.audioCode;
  }
  return header;
}

GroupHeader MakeGroupHeader(const Options& options, int index) {
  GroupHeader header;
  header.startCode = kGroupStartCode;
  header.word4 = kGroupWord4;
  header.word8 = static_cast<uint32_t>(index);  // a sequence number, handy when reading dumps
  header.groupResolution = ResolutionWord(options);
  header.frameType = index % options.gopGroups == 0 ? kFrameTypeKey : kFrameTypeOther;
  header.frameRateCode = kFrameRateBase + static_cast<uint32_t>(options.fps);
  header.groupWord32 = static_cast<uint32_t>(index) * static_cast<uint32_t>(options.groupFrames);
  return header;
}

int64_t FrameDurationOf(const Options& options) {
  return FrameDuration(kFrameRateBase + static_cast<uint32_t>(options.fps), kAudioBlockDuration);
}

int64_t AudioBlocksDue(int64_t frames, int64_t frameDuration) {
  return (frames * frameDuration + kAudioBlockDuration - 1) / kAudioBlockDuration;
}

}  // namespace recgen
