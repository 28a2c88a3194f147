#include "GroupPackets.h"

#include <algorithm>

namespace recastgst {

std::vector<Packet> PacketsOf(const recorder::GroupView& group, const vendor::GroupTimes& times,
                              bool keyGroup) {
  std::vector<Packet> packets;
  packets.reserve(static_cast<size_t>(times.videoBlocks + times.audioBlocks));
  int video = 0;
  int audio = 0;
  recorder::ForEachBlock(group, [&](const recorder::BlockView& block) {
    Packet packet;
    packet.data = block.payload;
    packet.size = block.PayloadSize();
    if (recorder::IsVideoBlockType(block.type)) {
      packet.kind = StreamKind::Video;
      packet.start = times.videoStart + video * times.frameDuration;
      packet.duration = times.frameDuration;
      packet.key = keyGroup && video == 0;
      ++video;
    } else {
      packet.kind = StreamKind::Audio;
      packet.start = times.audioStart + audio * recorder::kAudioBlockDuration;
      packet.duration = recorder::kAudioBlockDuration;
      ++audio;
    }
    packets.push_back(packet);
    return false;
  });
  std::stable_sort(packets.begin(), packets.end(), [](const Packet& a, const Packet& b) {
    if (a.start != b.start) return a.start < b.start;
    return a.kind == StreamKind::Audio && b.kind == StreamKind::Video;
  });
  return packets;
}

}  // namespace recastgst
