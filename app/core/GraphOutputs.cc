// The two output builds: the AVI chain (video encoder, AVI Mux, File writer, audio processor)
// and the ASF writer, whose inputs are connected only when the conversion starts, after the
// real parameters have been sent.
#include "FfdshowIds.h"
#include "GraphCtl.h"
#include "SysFilterIds.h"
#include "WideString.h"

namespace recast {
namespace {

constexpr char16_t kNamedAsfWriter[] = u"Quorel ASF Writer";
constexpr char16_t kAsfWriterName[] = u"ASF Writer";
constexpr std::string_view kVideoInPin = "Video In";
constexpr std::string_view kAudioInPin = "Audio In";

HRESULT SetOutputFile(IBaseFilter* filter, const std::string& path) {
  ComPtr<IFileSinkFilter> sink;
  if (!filter || FAILED(filter->QueryInterface(IID_IFileSinkFilter, sink.ReleaseAndGetVoidAddress())))
    return E_NOINTERFACE;
  return sink->SetFileName(Utf8ToWide(path).c_str(), nullptr);
}

}  // namespace

// ---- AVI --------------------------------------------------------------------------------

HRESULT CGraphCtl::FindAviChain() {
  HRESULT hr = FindByFriendlyName(kFfdshowVideoEncoderName, FilterCategory::VideoCompressors,
                                  videoEncoder_);
  if (SUCCEEDED(hr)) hr = FindByFriendlyName(kAviMuxName, FilterCategory::DirectShowFilters, aviMux_);
  if (SUCCEEDED(hr))
    hr = FindByFriendlyName(kFfdshowAudioProcessorName, FilterCategory::DirectShowFilters,
                            audioProcessor_);
  if (SUCCEEDED(hr))
    hr = FindByFriendlyName(kFileWriterName, FilterCategory::DirectShowFilters, fileWriter_);
  return hr;
}

HRESULT CGraphCtl::BuildAvi(const std::string& outputPath) {
  if (!graph_) return E_UNEXPECTED;
  Stop();
  if (FAILED(FindAviChain())) {
    ShowMessage(texts::kFiltersMissing, texts::kCaptionAttentionBang);
    Destroy();
    return E_FAIL;
  }
  if (FAILED(SetOutputFile(fileWriter_.Get(), outputPath))) return E_FAIL;

  // Each connection counts on its own: a file without audio fails both audio connections and
  // still converts its video.
  const ComPtr<IPin> video = DetachVideo();
  int connected = 0;
  connected += Connect(video.Get(), PinOf(videoEncoder_.Get(), PINDIR_INPUT).Get());
  connected += Connect(PinOf(videoEncoder_.Get(), PINDIR_OUTPUT).Get(),
                       PinOf(aviMux_.Get(), PINDIR_INPUT).Get());
  connected += Connect(PinOf(aviMux_.Get(), PINDIR_OUTPUT).Get(),
                       PinOf(fileWriter_.Get(), PINDIR_INPUT).Get());
  const ComPtr<IPin> audio = DetachAudio();
  connected += Connect(audio.Get(), PinOf(audioProcessor_.Get(), PINDIR_INPUT).Get());
  const ComPtr<IPin> muxInput = FreeInputPin(aviMux_.Get());
  if (muxInput) connected += Connect(PinOf(audioProcessor_.Get(), PINDIR_OUTPUT).Get(), muxInput.Get());

  if (muxInput && connected > 0) return S_OK;
  UndoAvi(video.Get(), audio.Get());
  return E_FAIL;
}

void CGraphCtl::UndoAvi(IPin* video, IPin* audio) {
  for (IBaseFilter* filter : {videoEncoder_.Get(), aviMux_.Get(), fileWriter_.Get(), audioProcessor_.Get()})
    Remove(filter);
  RenderAgain(video);
  RenderAgain(audio);
  Destroy();
}

// ---- WMV --------------------------------------------------------------------------------

HRESULT CGraphCtl::BuildWmv(const std::string& outputPath, int32_t frameRate,
                            bool insertDecompressor) {
  if (!graph_) return E_UNEXPECTED;
  insertDecompressor_ = insertDecompressor;
  Stop();
  FindByFriendlyName(kFfdshowAudioProcessorName, FilterCategory::DirectShowFilters, audioProcessor_);
  FindByFriendlyName(kNamedAsfWriter, FilterCategory::DirectShowFilters, asfWriter_);
  // Only a missing writer is created by class: a second writer would sit unconnected in the
  // graph and the graph would never complete.
  if (!asfWriter_ && FAILED(CreateByClass(CLSID_WmSink, kAsfWriterName, asfWriter_))) {
    ShowMessage(texts::kFiltersMissing, texts::kCaptionAttentionBang);
    return E_FAIL;
  }
  // Only narrow NTSC sources pass through it; a decompressor that cannot be made is not missed
  // by the others.
  CreateByClass(CLSID_AVIDec, kAviDecompressorName, decompressor_);

  ComPtr<IFileSinkFilter> sink;
  if (FAILED(asfWriter_->QueryInterface(IID_IFileSinkFilter, sink.ReleaseAndGetVoidAddress())) ||
      FAILED(asfWriter_->QueryInterface(IID_IWmSinkConfig, writerConfig_.ReleaseAndGetVoidAddress())))
    return E_NOINTERFACE;

  WmSinkConfig config{kDefaultOutputWidth, kDefaultOutputHeight, frameRate, kDefaultWriterBitRate,
                      TRUE, TRUE};
  outputWidth_ = kDefaultOutputWidth;
  outputHeight_ = kDefaultOutputHeight;
  HRESULT hr = SendConfig(config);
  if (SUCCEEDED(hr)) hr = sink->SetFileName(Utf8ToWide(outputPath).c_str(), nullptr);
  return hr;
}

HRESULT CGraphCtl::ConnectWmvStreams() {
  const ComPtr<IPin> video = DetachVideo();
  const ComPtr<IPin> videoIn = PinOf(asfWriter_.Get(), PINDIR_INPUT, kVideoInPin);
  ComPtr<IPin> audio;
  bool ok = videoIn != nullptr;
  if (ok) {
    if (insertDecompressor_ && decompressor_) {
      Connect(video.Get(), PinOf(decompressor_.Get(), PINDIR_INPUT).Get());
      Connect(PinOf(decompressor_.Get(), PINDIR_OUTPUT).Get(), videoIn.Get());
    } else {
      Connect(video.Get(), videoIn.Get());
    }
    audio = DetachAudio();
    Connect(audio.Get(), PinOf(audioProcessor_.Get(), PINDIR_INPUT).Get());
    const ComPtr<IPin> audioIn = PinOf(asfWriter_.Get(), PINDIR_INPUT, kAudioInPin);
    ok = audioIn != nullptr;
    if (ok) Connect(PinOf(audioProcessor_.Get(), PINDIR_OUTPUT).Get(), audioIn.Get());
  }
  if (ok) return S_OK;
  UndoWmv(video.Get(), audio.Get());
  ShowMessage(texts::kConfigAudioFailed, texts::kCaptionAttention);
  return E_FAIL;
}

void CGraphCtl::UndoWmv(IPin* video, IPin* audio) {
  for (IBaseFilter* filter : {asfWriter_.Get(), audioProcessor_.Get(), decompressor_.Get()})
    Remove(filter);
  RenderAgain(video);
  RenderAgain(audio);
  Destroy();
}

HRESULT CGraphCtl::SetParams(const WmvParams& params) {
  params_ = params;
  WmSinkConfig config{params.width,   params.height,       params.frameRate,
                      params.bitRate, params.audioEnabled, params.constantBitRate};
  outputWidth_ = params.width;
  outputHeight_ = params.height;
  return SendConfig(config);
}

HRESULT CGraphCtl::SendConfig(const WmSinkConfig& config) {
  if (!writerConfig_) return E_NOINTERFACE;
  WmSinkConfig copy = config;
  return writerConfig_->SetConfig(&copy);
}

HRESULT CGraphCtl::WrittenFrames(DWORD expected, DWORD& written) {
  written = 0;
  if (!writerConfig_) return E_NOINTERFACE;
  return writerConfig_->GetWrittenFrames(expected, &written);
}

}  // namespace recast
