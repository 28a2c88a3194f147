// Owning handles for the libav objects recgen uses, and an error text for libav status codes.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace recgen {

struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

// "what: libav's text for status".
inline std::string AvErrorText(const std::string& what, int status) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(status, text, sizeof text);
  return what + ": " + text;
}

// Throws when a libav call failed; recgen is a tool, so a failure ends the run with its reason.
inline void CheckAv(int status, const std::string& what) {
  if (status < 0) throw std::runtime_error(AvErrorText(what, status));
}

}  // namespace recgen
