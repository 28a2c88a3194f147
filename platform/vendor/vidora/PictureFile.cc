#include "PictureFile.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "Yv12Picture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace vidora {
namespace {

// Larger pictures than this are refused rather than risking overflowing sizes.
constexpr long kMaxDimension = 16384;

constexpr size_t kBmpFileHeaderSize = 14;
constexpr size_t kBmpInfoHeaderSize = 40;
constexpr uint16_t kBmpSignature = 0x4D42;  // "BM"
constexpr uint16_t kBmpBitsPerPixel = 24;
constexpr int kBmpRowAlign = 4;
constexpr int kJpegQuality = 3;  // libavcodec qscale: 2 (best) .. 31

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct ScalerDeleter {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};

// Converts the YV12 picture to `format` into the given planes.
bool Convert(const Yv12Input& picture, AVPixelFormat format, uint8_t* const planes[],
             const int strides[]) {
  std::unique_ptr<SwsContext, ScalerDeleter> scaler(
      sws_getContext(picture.width, picture.height, AV_PIX_FMT_YUV420P, picture.width,
                     picture.height, format, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!scaler) return false;
  const auto layout = vendor::Yv12Layout::For(picture.width, picture.height);
  const uint8_t* v = picture.bytes + layout.lumaSize;
  const uint8_t* source[3] = {picture.bytes, v + layout.chromaSize, v};
  const int sourceStrides[3] = {picture.width, layout.chromaWidth, layout.chromaWidth};
  sws_scale(scaler.get(), source, sourceStrides, 0, picture.height, planes, strides);
  return true;
}

bool WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  return std::fclose(file.release()) == 0 && written;
}

}  // namespace

std::optional<Yv12Input> Yv12Input::Check(const uint8_t* bytes, long size, long width,
                                          long height) {
  if (bytes == nullptr || width <= 0 || height <= 0 || width > kMaxDimension ||
      height > kMaxDimension || size < 0)
    return std::nullopt;
  const auto layout = vendor::Yv12Layout::For(static_cast<int>(width), static_cast<int>(height));
  if (static_cast<size_t>(size) < layout.TotalSize()) return std::nullopt;
  return Yv12Input{bytes, static_cast<int>(width), static_cast<int>(height)};
}

bool WriteBmpFile(const Yv12Input& picture, const std::string& path) {
  const int rowBytes = picture.width * 3;
  const int stride = (rowBytes + kBmpRowAlign - 1) / kBmpRowAlign * kBmpRowAlign;
  const size_t pixelBytes = static_cast<size_t>(stride) * static_cast<size_t>(picture.height);
  const size_t headerBytes = kBmpFileHeaderSize + kBmpInfoHeaderSize;
  std::vector<uint8_t> file(headerBytes + pixelBytes, 0);

  uint8_t* h = file.data();
  recorder::wl16(h, kBmpSignature);
  recorder::wl32(h + 2, static_cast<uint32_t>(file.size()));
  recorder::wl32(h + 10, static_cast<uint32_t>(headerBytes));
  uint8_t* info = h + kBmpFileHeaderSize;
  recorder::wl32(info, kBmpInfoHeaderSize);
  recorder::wl32(info + 4, static_cast<uint32_t>(picture.width));
  recorder::wl32(info + 8, static_cast<uint32_t>(picture.height));  // positive: bottom-up
  recorder::wl16(info + 12, 1);                                       // planes
  recorder::wl16(info + 14, kBmpBitsPerPixel);
  recorder::wl32(info + 20, static_cast<uint32_t>(pixelBytes));

  // Writing the top row last turns swscale's top-down output into BMP's bottom-up rows.
  uint8_t* bottomRow =
      file.data() + headerBytes + static_cast<size_t>(stride) * (picture.height - 1);
  uint8_t* planes[1] = {bottomRow};
  const int strides[1] = {-stride};
  if (!Convert(picture, AV_PIX_FMT_BGR24, planes, strides)) return false;
  return WriteAll(path, file);
}

bool WriteJpegFile(const Yv12Input& picture, const std::string& path) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (codec == nullptr) return false;
  std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> context(
      avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
  std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                     [](AVFrame* f) { av_frame_free(&f); });
  std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(
      av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
  if (!context || !frame || !packet) return false;
  context->width = picture.width;
  context->height = picture.height;
  context->pix_fmt = AV_PIX_FMT_YUVJ420P;
  context->time_base = {1, 25};
  context->flags |= AV_CODEC_FLAG_QSCALE;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return false;

  frame->width = picture.width;
  frame->height = picture.height;
  frame->format = AV_PIX_FMT_YUVJ420P;
  frame->quality = FF_QP2LAMBDA * kJpegQuality;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
  if (!Convert(picture, AV_PIX_FMT_YUVJ420P, frame->data, frame->linesize)) return false;
  if (avcodec_send_frame(context.get(), frame.get()) < 0 ||
      avcodec_receive_packet(context.get(), packet.get()) < 0)
    return false;
  return WriteAll(path, std::vector<uint8_t>(packet->data, packet->data + packet->size));
}

}  // namespace vidora
