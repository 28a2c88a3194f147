#include "AsfMuxer.h"

#include "AsfHeaderFix.h"

namespace {

constexpr size_t kObjectHeaderSize = 24;
constexpr uint64_t kMaxHeaderSize = 16 * 1024 * 1024;  // far more than any header we write

}  // namespace

AsfMuxer::~AsfMuxer() { Discard(); }

void AsfMuxer::Discard() {
  if (format_) avformat_free_context(format_);
  format_ = nullptr;
  started_ = false;
  sink_.Close();
}

HRESULT AsfMuxer::Open(const std::string& path) {
  Discard();
  if (avformat_alloc_output_context2(&format_, nullptr, "asf", nullptr) < 0 || !format_)
    return E_OUTOFMEMORY;
  if (HRESULT hr = sink_.Open(path); FAILED(hr)) {
    Discard();
    return hr;
  }
  format_->pb = sink_.Context();
  format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  return S_OK;
}

bool AsfMuxer::NeedsGlobalHeaders() const {
  return format_ && (format_->oformat->flags & AVFMT_GLOBALHEADER);
}

HRESULT AsfMuxer::AddStream(const AVCodecContext* encoder, int64_t nominal_bit_rate, int* index) {
  if (!format_ || started_) return NS_E_INVALID_REQUEST;
  AVStream* stream = avformat_new_stream(format_, nullptr);
  if (!stream) return E_OUTOFMEMORY;
  if (avcodec_parameters_from_context(stream->codecpar, encoder) < 0) return E_OUTOFMEMORY;
  if (nominal_bit_rate > 0) stream->codecpar->bit_rate = nominal_bit_rate;
  stream->time_base = encoder->time_base;
  *index = stream->index;
  return S_OK;
}

HRESULT AsfMuxer::Start(const Metadata& metadata) {
  if (!format_ || started_) return NS_E_INVALID_REQUEST;
  for (const auto& [key, value] : metadata)
    av_dict_set(&format_->metadata, key.c_str(), value.c_str(), 0);
  if (avformat_write_header(format_, nullptr) < 0) return NS_E_FILE_WRITE;
  started_ = true;
  return S_OK;
}

HRESULT AsfMuxer::WritePacket(int stream, AVPacket* packet, AVRational time_base) {
  if (!started_ || stream < 0 || stream >= static_cast<int>(format_->nb_streams))
    return NS_E_INVALID_REQUEST;
  packet->stream_index = stream;
  av_packet_rescale_ts(packet, time_base, format_->streams[stream]->time_base);
  return av_interleaved_write_frame(format_, packet) < 0 ? NS_E_FILE_WRITE : S_OK;
}

HRESULT AsfMuxer::MendHeader() {
  std::vector<uint8_t> header(kObjectHeaderSize);
  if (!sink_.ReadAt(0, header.data(), header.size())) return NS_E_FILE_WRITE;
  const uint64_t size = AsfHeaderSize(header);
  if (size < kObjectHeaderSize || size > kMaxHeaderSize) return NS_E_FILE_WRITE;
  header.resize(size);
  if (!sink_.ReadAt(0, header.data(), header.size())) return NS_E_FILE_WRITE;
  if (MoveDescriptionIntoContentDescription(header) != HeaderFix::kMended) return S_OK;
  return sink_.WriteAt(0, header.data(), header.size()) ? S_OK : NS_E_FILE_WRITE;
}

HRESULT AsfMuxer::Finish() {
  if (!started_) {
    Discard();
    return NS_E_INVALID_REQUEST;
  }
  HRESULT hr = av_write_trailer(format_) == 0 && sink_.Flush() ? S_OK : NS_E_FILE_WRITE;
  if (SUCCEEDED(hr)) hr = MendHeader();
  if (!sink_.Close() && SUCCEEDED(hr)) hr = NS_E_FILE_WRITE;
  Discard();
  return hr;
}
