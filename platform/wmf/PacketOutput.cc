#include "PacketOutput.h"

HRESULT EncodeAndDrain(AVCodecContext* encoder, const AVFrame* frame, AVPacket* packet,
                       PacketOutput& output, int stream) {
  if (avcodec_send_frame(encoder, frame) < 0) return E_FAIL;
  for (;;) {
    const int result = avcodec_receive_packet(encoder, packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return S_OK;
    if (result < 0) return E_FAIL;
    if (HRESULT hr = output.WritePacket(stream, packet, encoder->time_base); FAILED(hr)) {
      av_packet_unref(packet);
      return hr;
    }
  }
}
