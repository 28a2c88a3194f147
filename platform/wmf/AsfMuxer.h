// The ASF file: libavformat's ASF muxer writing through a FileSink. Streams are numbered by
// the muxer in the order they are added (from 1). Finish writes the trailer, lets the muxer
// give the header its final sizes and duration, and then mends the header's content
// description (AsfHeaderFix) before the file is closed.
#pragma once

#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "FileSink.h"
#include "PacketOutput.h"

class AsfMuxer final : public PacketOutput {
 public:
  // Metadata under libavformat's generic names ("title", "author", "comment", ...).
  using Metadata = std::vector<std::pair<std::string, std::string>>;

  AsfMuxer() = default;
  ~AsfMuxer();
  AsfMuxer(const AsfMuxer&) = delete;
  AsfMuxer& operator=(const AsfMuxer&) = delete;

  HRESULT Open(const std::string& path);
  bool NeedsGlobalHeaders() const;
  // A stream carrying what `encoder` produces; its index for WritePacket.
  HRESULT AddStream(const AVCodecContext* encoder, int64_t nominal_bit_rate, int* index);
  HRESULT Start(const Metadata& metadata);
  HRESULT WritePacket(int stream, AVPacket* packet, AVRational time_base) override;
  HRESULT Finish();

 private:
  HRESULT MendHeader();
  void Discard();

  FileSink sink_;
  AVFormatContext* format_ = nullptr;
  bool started_ = false;
};
