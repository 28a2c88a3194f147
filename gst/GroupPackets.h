// GroupPackets: the timed samples of one delivered group, the way every reader of the format
// times them: each video block is one frame on the video clock, each audio block 40 ms on the
// audio clock (GroupTiming decides both). The first frame of a group where decoding may
// resume is a key frame; every other frame depends on those before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "GroupTiming.h"
#include "recorder/StreamFormat.h"

namespace recastgst {

enum class StreamKind { Video, Audio };

struct Packet {
  StreamKind kind = StreamKind::Video;
  const uint8_t* data = nullptr;  // the block's payload, inside the group
  size_t size = 0;
  int64_t start = 0;  // 100 ns units on the stream's clock
  int64_t duration = 0;
  bool key = false;  // video only: decoding may start here
};

// The group's samples in order of their start times (audio first when they tie, as the audio
// of a group is what its pictures are shown with).
std::vector<Packet> PacketsOf(const recorder::GroupView& group, const vendor::GroupTimes& times,
                              bool keyGroup);

}  // namespace recastgst
