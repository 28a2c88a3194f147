#include "VideoEncoder.h"

#include <algorithm>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include "Wmsdk.h"

namespace {

constexpr AVPixelFormat kEncoderPixelFormat = AV_PIX_FMT_YUV420P;
constexpr int kFrameAlignment = 32;  // row alignment the encoder's SIMD code prefers
constexpr int kScaleFlags = SWS_BICUBIC;
constexpr AVRational kUnitTime{1, 10000000};

// Frees a picture buffer the codec held: the writer's sample goes back to its pool.
void ReleaseOwner(void* owner, uint8_t*) { static_cast<INSSBuffer*>(owner)->Release(); }

const char* MotionEstimation(MotionSearch search) {
  return search == MotionSearch::kNone ? "zero" : "epzs";
}

const char* MacroblockDecision(MotionSearch search) {
  return search == MotionSearch::kRateDistortion ? "rd" : "simple";
}

}  // namespace

VideoEncoder::~VideoEncoder() {
  avcodec_free_context(&encoder_);
  sws_freeContext(scaler_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  av_buffer_pool_uninit(&pool_);
}

HRESULT VideoEncoder::ConfigureEncoder(const VideoSettings& settings, bool global_header) {
  const AVCodec* codec = avcodec_find_encoder(settings.codec);
  if (!codec) return NS_E_VIDEO_CODEC_NOT_INSTALLED;
  encoder_ = avcodec_alloc_context3(codec);
  if (!encoder_) return E_OUTOFMEMORY;
  encoder_->width = settings.width;
  encoder_->height = settings.height;
  encoder_->pix_fmt = kEncoderPixelFormat;
  encoder_->framerate = settings.frame_rate;
  encoder_->time_base = av_inv_q(settings.frame_rate);
  encoder_->bit_rate = settings.bit_rate;
  if (settings.rate_tolerance_bits > 0) {
    // Never less than one frame's share, which the encoder refuses.
    const int64_t frame_bits = av_rescale(settings.bit_rate, settings.frame_rate.den,
                                          settings.frame_rate.num);
    encoder_->bit_rate_tolerance =
        static_cast<int>(std::max<int64_t>(settings.rate_tolerance_bits, frame_bits + 1));
  }
  encoder_->rc_max_rate = settings.max_rate;
  encoder_->rc_buffer_size = settings.buffer_bits;
  encoder_->qcompress = settings.quantiser_compression;
  encoder_->max_b_frames = 0;
  if (settings.group_length > 0) encoder_->gop_size = settings.group_length;
  if (settings.constant_quality) {
    encoder_->flags |= AV_CODEC_FLAG_QSCALE;
    encoder_->global_quality = settings.quantiser * FF_QP2LAMBDA;
    quality_ = encoder_->global_quality;
  }
  if (global_header) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  encoder_->thread_count = 0;  // as many as the encoder can use
  av_opt_set(encoder_, "motion_est", MotionEstimation(settings.motion_search),
             AV_OPT_SEARCH_CHILDREN);
  av_opt_set(encoder_, "mbd", MacroblockDecision(settings.motion_search), AV_OPT_SEARCH_CHILDREN);
  return avcodec_open2(encoder_, codec, nullptr) == 0 ? S_OK : NS_E_INVALID_STREAM;
}

HRESULT VideoEncoder::Open(const VideoSettings& settings, const PictureLayout& input,
                           bool global_header) {
  if (HRESULT hr = ConfigureEncoder(settings, global_header); FAILED(hr)) return hr;
  input_ = input;
  scaler_ = sws_getContext(input.width, input.height, input.format->pixel_format,
                           settings.width, settings.height, kEncoderPixelFormat, kScaleFlags,
                           nullptr, nullptr, nullptr);
  const int frame_size = av_image_get_buffer_size(kEncoderPixelFormat, settings.width,
                                                  settings.height, kFrameAlignment);
  if (!scaler_ || frame_size <= 0) return NS_E_INVALID_INPUT_FORMAT;
  pool_ = av_buffer_pool_init(static_cast<size_t>(frame_size), av_buffer_allocz);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  return pool_ && frame_ && packet_ ? S_OK : E_OUTOFMEMORY;
}

HRESULT VideoEncoder::NextFrame() {
  av_frame_unref(frame_);
  frame_->buf[0] = av_buffer_pool_get(pool_);
  if (!frame_->buf[0]) return E_OUTOFMEMORY;
  frame_->format = kEncoderPixelFormat;
  frame_->width = encoder_->width;
  frame_->height = encoder_->height;
  frame_->quality = quality_;
  if (av_image_fill_arrays(frame_->data, frame_->linesize, frame_->buf[0]->data,
                           kEncoderPixelFormat, frame_->width, frame_->height,
                           kFrameAlignment) < 0)
    return E_UNEXPECTED;
  return S_OK;
}

bool VideoEncoder::ReadsInPlace(const InputPicture& picture) const {
  return picture.owner && input_.format->pixel_format == kEncoderPixelFormat &&
         !input_.bottom_up && input_.width == encoder_->width &&
         input_.height == encoder_->height;
}

HRESULT VideoEncoder::WrapFrame(const InputPicture& picture) {
  av_frame_unref(frame_);
  picture.owner->AddRef();
  frame_->buf[0] = av_buffer_create(const_cast<BYTE*>(picture.data), picture.size, ReleaseOwner,
                                    picture.owner, AV_BUFFER_FLAG_READONLY);
  if (!frame_->buf[0]) {
    picture.owner->Release();
    return E_OUTOFMEMORY;
  }
  const uint8_t* planes[4];
  MapPicture(input_, picture.data, planes, frame_->linesize);
  for (int i = 0; i < 4; ++i) frame_->data[i] = const_cast<uint8_t*>(planes[i]);
  frame_->format = kEncoderPixelFormat;
  frame_->width = encoder_->width;
  frame_->height = encoder_->height;
  frame_->quality = quality_;
  return S_OK;
}

HRESULT VideoEncoder::Encode(const InputPicture& picture, REFERENCE_TIME time,
                             PacketOutput& output, int stream) {
  if (!encoder_) return NS_E_INVALID_REQUEST;
  if (!picture.data || picture.size < input_.size) return E_INVALIDARG;
  const int64_t pts =
      av_rescale_q(std::max<REFERENCE_TIME>(time, 0), kUnitTime, encoder_->time_base);
  // A picture that falls on the frame slot of the one before (input faster than the
  // stream's frame rate) is dropped, so the pictures kept stay at their times.
  if (last_pts_ != AV_NOPTS_VALUE && pts <= last_pts_) return S_OK;
  if (ReadsInPlace(picture)) {
    if (HRESULT hr = WrapFrame(picture); FAILED(hr)) return hr;
  } else {
    if (HRESULT hr = NextFrame(); FAILED(hr)) return hr;
    const uint8_t* planes[4];
    int strides[4];
    MapPicture(input_, picture.data, planes, strides);
    sws_scale(scaler_, planes, strides, 0, input_.height, frame_->data, frame_->linesize);
  }
  frame_->pts = last_pts_ = pts;
  const HRESULT hr = EncodeAndDrain(encoder_, frame_, packet_, output, stream);
  // The codec holds its own reference if it needs the picture longer.
  av_frame_unref(frame_);
  return hr;
}

HRESULT VideoEncoder::Finish(PacketOutput& output, int stream) {
  if (!encoder_) return S_OK;
  return EncodeAndDrain(encoder_, nullptr, packet_, output, stream);
}
