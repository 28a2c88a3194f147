#include "OutputAudit.h"

#include <fstream>
#include <memory>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace recast::cli {
namespace {

constexpr size_t kReadSize = 1 << 20;

bool HashFile(const std::string& path, OutputAudit& audit) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  Sha256 hasher;
  if (!hasher.Valid()) return false;
  std::vector<char> buffer(kReadSize);
  while (file) {
    file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<size_t>(file.gcount());
    hasher.Update(reinterpret_cast<const uint8_t*>(buffer.data()), got);
    audit.size += got;
  }
  if (file.bad()) return false;
  audit.digest = hasher.Final();
  return true;
}

struct CloseInput {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

// Packets per stream kind, as a demuxer reads them from the start to the end.
void CountPackets(const std::string& path, OutputAudit& audit) {
  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) return;
  const std::unique_ptr<AVFormatContext, CloseInput> input(opened);
  if (avformat_find_stream_info(input.get(), nullptr) < 0) return;
  uint64_t frames = 0;
  uint64_t audioBlocks = 0;
  AVPacket* packet = av_packet_alloc();
  if (!packet) return;
  while (av_read_frame(input.get(), packet) >= 0) {
    const AVMediaType type = input->streams[packet->stream_index]->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_VIDEO) ++frames;
    if (type == AVMEDIA_TYPE_AUDIO) ++audioBlocks;
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  audit.frames = frames;
  audit.audioBlocks = audioBlocks;
}

}  // namespace

std::optional<OutputAudit> AuditOutput(const std::string& path) {
  OutputAudit audit;
  if (!HashFile(path, audit)) return std::nullopt;
  CountPackets(path, audit);
  return audit;
}

}  // namespace recast::cli
