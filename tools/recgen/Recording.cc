#include "Recording.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "AudioEncoder.h"
#include "ElementaryStreams.h"
#include "GroupBuilder.h"
#include "StreamLayout.h"
#include "VideoEncoder.h"

namespace recgen {

namespace {

using recorder::kAudioBlockDuration;

constexpr int64_t kUnitsPerMillisecond = recorder::kUnitsPerSecond / 1000;

void Write(std::ofstream& out, std::span<const uint8_t> bytes) {
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The encoders and sinks of one run, and where the run stands.
class Recorder {
 public:
  explicit Recorder(const Options& options) : options_(options), damage_(options.damage) {
    frameDuration_ = FrameDurationOf(options);
    if (options.HasVideo()) {
      video_.emplace(VideoSettings{options.codec, options.width, options.height, options.fps,
                                   options.GopFrames(), options.frames});
      summary_.videoEncoder = video_->EncoderName();
    }
    if (options.HasAudio()) audio_.emplace(*FindAudioCoding(*options.audioCode));
  }

  RecordingSummary Run() {
    std::ofstream out(options_.output, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + options_.output);
    if (!options_.elementaryDir.empty()) elementary_ = std::make_unique<ElementaryStreams>(options_);
    Write(out, recorder::Serialize(MakeFileHeader(options_)));
    Write(out, damage_.Garbage());
    for (int g = 0; g < options_.GroupCount(); ++g) {
      std::vector<uint8_t> group = BuildGroup(g);
      damage_.SpoilGroup(g, group);
      Write(out, group);
    }
    out.close();
    if (out.fail()) throw std::runtime_error("cannot write " + options_.output);
    summary_.damage = damage_.Finish(options_.output);
    summary_.bytes = std::filesystem::file_size(options_.output);
    summary_.groups = options_.GroupCount();
    summary_.duration = std::max(options_.frames * frameDuration_,
                                 summary_.audioBlocks * kAudioBlockDuration);
    if (elementary_) summary_.elementaryFiles = elementary_->Finish(summary_.audioBlocks);
    return summary_;
  }

 private:
  // Frames of group `g`, each followed by the audio blocks that bring audio time level with
  // the end of that frame.
  std::vector<uint8_t> BuildGroup(int g) {
    const recorder::GroupHeader header = MakeGroupHeader(options_, g);
    if (header.frameType == recorder::kFrameTypeKey) ++summary_.keyGroups;
    GroupBuilder builder(header);
    const int64_t first = static_cast<int64_t>(g) * options_.groupFrames;
    const int64_t last = std::min<int64_t>(first + options_.groupFrames, options_.frames);
    for (int64_t frame = first; frame < last; ++frame) {
      if (video_) AddFrame(builder, frame);
      if (audio_) AddAudioUpTo(builder, AudioBlocksDue(frame + 1, frameDuration_));
    }
    return builder.Finish();
  }

  void AddFrame(GroupBuilder& builder, int64_t index) {
    const EncodedFrame frame = video_->Next();
    if (index % options_.GopFrames() == 0 && !frame.key)
      throw std::runtime_error("the video encoder did not make a key frame at a key group");
    builder.AddBlock(recorder::kBlockVideo1, frame.data);
    if (elementary_) elementary_->AddVideo(frame.data);
    ++summary_.frames;
  }

  void AddAudioUpTo(GroupBuilder& builder, int64_t blocksDue) {
    for (; summary_.audioBlocks < blocksDue; ++summary_.audioBlocks) {
      const std::vector<uint8_t> block = audio_->NextBlock();
      builder.AddBlock(recorder::kBlockAudio1, block);
      if (elementary_) elementary_->AddAudio(block);
    }
  }

  const Options& options_;
  Damage damage_;
  int64_t frameDuration_ = 0;
  std::optional<VideoEncoder> video_;
  std::optional<AudioEncoder> audio_;
  std::unique_ptr<ElementaryStreams> elementary_;
  RecordingSummary summary_;
};

const char* CodecName(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::H264: return "h264";
    case VideoCodec::Mpeg4: return "mpeg4";
    case VideoCodec::Mpeg4Sh: return "mpeg4sh";
  }
  return "";
}

}  // namespace

RecordingSummary WriteRecording(const Options& options) {
  if (std::string reason = ValidateOptions(options); !reason.empty())
    throw std::invalid_argument(reason);
  return Recorder(options).Run();
}

std::string DescribeRecording(const Options& o, const RecordingSummary& s) {
  std::ostringstream text;
  text << "wrote " << o.output << ": " << s.bytes << " bytes\n";
  text << std::hex << "  header: system 0x" << o.SystemType() << ", "
       << (o.videoStandard == recorder::kStandardPal ? "PAL" : "NTSC") << ", "
       << (o.oldHeader ? "old header (resolution code)" : "new header (width and height)")
       << std::dec << "\n";
  if (o.HasVideo())
    text << "  video: " << CodecName(o.codec) << " (" << s.videoEncoder << ") " << o.width << "x"
         << o.height << " at " << o.fps << " fps, " << s.frames << " frames\n";
  if (o.HasAudio()) {
    const AudioCoding* coding = FindAudioCoding(*o.audioCode);
    text << "  audio: 0x" << std::hex << *o.audioCode << std::dec << " " << coding->name << ", "
         << s.audioBlocks << " blocks of " << coding->blockBytes << " bytes\n";
  }
  text << "  groups: " << s.groups << " (" << s.keyGroups << " key groups), " << o.groupFrames
       << " frames per group, " << o.gopGroups << " groups per GOP\n";
  text << "  duration: " << s.duration / kUnitsPerMillisecond << " ms\n";
  if (s.damage.garbageBytes) text << "  damage: " << s.damage.garbageBytes << " garbage bytes before the first group\n";
  if (s.damage.badBlockGroup >= 0) text << "  damage: bad block type in group " << s.damage.badBlockGroup << "\n";
  if (!s.damage.flippedOffsets.empty()) {
    text << "  damage: flipped bytes at";
    for (uint64_t offset : s.damage.flippedOffsets) text << " " << offset;
    text << "\n";
  }
  if (s.damage.truncatedBytes) text << "  damage: " << s.damage.truncatedBytes << " bytes cut from the end\n";
  for (const std::string& path : s.elementaryFiles) text << "  elementary: " << path << "\n";
  return text.str();
}

}  // namespace recgen
