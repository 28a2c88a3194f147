// Where encoded packets go (the muxer), and the send-and-drain step every encoder shares.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "WmTypes.h"

class PacketOutput {
 public:
  // Takes the packet's contents (the packet is left empty). `time_base` is the encoder's.
  virtual HRESULT WritePacket(int stream, AVPacket* packet, AVRational time_base) = 0;

 protected:
  ~PacketOutput() = default;
};

// Sends `frame` (null: end of stream) to the encoder and passes every packet it produces on.
HRESULT EncodeAndDrain(AVCodecContext* encoder, const AVFrame* frame, AVPacket* packet,
                       PacketOutput& output, int stream);
