#include "GraphConverter.h"

#include <algorithm>
#include <cstdio>

#include "ComRuntime.h"
#include "ControlInterfaces.h"
#include "FfdshowIds.h"

namespace recast {

CConverter::CConverter(MessageSink messages, PropertyFrameFn propertyFrame)
    : messages_(messages), propertyFrame_(std::move(propertyFrame)), graph_(std::move(messages)) {}

CConverter::~CConverter() { Release(); }

HRESULT CConverter::Open(const std::string& sourcePath) {
  graph_.Destroy();
  HRESULT hr = graph_.Create();
  if (FAILED(hr)) return hr;
  sourcePath_ = sourcePath;
  hr = graph_.RenderFile(sourcePath);
  if (FAILED(hr)) {
    graph_.Destroy();
    return hr;
  }
  graph_.SetNotifyWindow(kDesktopWindow);
  graph_.Duration(duration_);
  state_ = ConverterState::Unbuilt;
  return S_OK;
}

HRESULT CConverter::QueryVideoSize(VideoSizeAnswer& answer) {
  const HRESULT hr = graph_.VideoSize(videoSize_.width, videoSize_.height);
  videoSize_.duration = duration_;
  answer = videoSize_;
  return hr;
}

HRESULT CConverter::BuildOutput(OutputKind kind, const std::string& outputPath, int32_t frameRate,
                                bool insertDecompressor) {
  kind_ = kind;
  frameRate_ = frameRate;
  outputPath_ = outputPath;
  partPath_ = outputPath + std::string(kPartSuffix);
  outputKept_ = false;
  failure_ = S_OK;
  HRESULT hr = E_FAIL;
  if (kind == OutputKind::Avi)
    hr = graph_.BuildAvi(partPath_);
  else if (CopiesVideo(kind))
    hr = graph_.BuildCopy(kind, partPath_);
  else
    hr = graph_.BuildWmv(partPath_, frameRate, insertDecompressor);
  if (SUCCEEDED(hr)) state_ = ConverterState::Built;
  return hr;
}

HRESULT CConverter::SetParams(const WmvParams& params) {
  frameRate_ = params.frameRate;
  return graph_.SetParams(params);
}

HRESULT CConverter::ConfigureVideo() {
  const HRESULT hr = ShowPages(kFfdshowVideoEncoderName);
  if (FAILED(hr)) ShowMessage(texts::kConfigVideoFailed, texts::kCaptionAttention);
  return hr;
}

HRESULT CConverter::ConfigureAudio() {
  if (state_ != ConverterState::Built) return E_UNEXPECTED;
  const HRESULT hr = ShowPages(kFfdshowAudioProcessorName);
  if (FAILED(hr)) ShowMessage(texts::kConfigAudioFailed, texts::kCaptionAttention);
  return hr;
}

HRESULT CConverter::ShowPages(std::u16string_view filterName) {
  if (!graph_.HasGraph()) return E_UNEXPECTED;
  const std::u16string name(filterName);
  ComPtr<IBaseFilter> filter;
  HRESULT hr = graph_.Graph()->FindFilterByName(name.c_str(), filter.GetAddressOf());
  if (FAILED(hr)) return hr;
  ComPtr<ISpecifyPropertyPages> pages;
  hr = filter->QueryInterface(IID_ISpecifyPropertyPages, pages.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  CAUUID list{};
  hr = pages->GetPages(&list);
  if (FAILED(hr)) return hr;
  // A filter without pages, or a program without a window to show them in, cannot be
  // configured here.
  hr = list.cElems > 0 && propertyFrame_ ? propertyFrame_(filter.Get(), filterName, list) : E_FAIL;
  CoTaskMemFree(list.pElems);
  return hr;
}

HRESULT CConverter::Start() {
  if (kind_ == OutputKind::Wmv) {
    if (FAILED(graph_.ConnectWmvStreams())) {
      ShowMessage(texts::kLinkError, texts::kCaptionAttention);
      Release();
      return E_FAIL;
    }
    state_ = ConverterState::Connected;
  }
  if (FAILED(graph_.Run())) {
    ShowMessage(texts::kCannotStart, texts::kCaptionAttention);
    Release();
    return E_FAIL;
  }
  state_ = ConverterState::Running;
  return S_OK;
}

int CConverter::Progress() {
  if (outputKept_) return kProgressComplete;
  if (state_ != ConverterState::Running || FAILED(failure_)) return 0;
  const GraphNews news = graph_.TakeEvents(completionWaitMs_);
  if (FAILED(news.failure)) {
    Fail(news.failure);
    return 0;
  }
  if (news.complete) return SUCCEEDED(Finalise()) ? kProgressComplete : 0;
  // Only the ASF writer counts frames; the multiplexers answer with the time written.
  return kind_ == OutputKind::Wmv ? WmvProgress() : AviProgress();
}

ConvertHeadway CConverter::Headway() {
  ConvertHeadway headway;
  graph_.CurrentPosition(headway.position);
  DWORD written = 0;
  if (kind_ == OutputKind::Wmv && SUCCEEDED(graph_.WrittenFrames(0, written)))
    headway.writtenFrames = written;
  return headway;
}

HRESULT CConverter::Finalise() {
  graph_.Stop();
  state_ = ConverterState::Halted;
  // A writer that cannot finish its file says so while it stops.
  const GraphNews news = graph_.TakeEvents(0);
  if (FAILED(news.failure)) {
    Fail(news.failure);
    return failure_;
  }
  if (std::rename(partPath_.c_str(), outputPath_.c_str()) != 0) {
    Fail(E_FAIL);
    return failure_;
  }
  outputKept_ = true;
  return S_OK;
}

void CConverter::Fail(HRESULT failure) {
  failure_ = failure;
  if (state_ == ConverterState::Running) graph_.Stop();
  state_ = ConverterState::Halted;
  DiscardPartialOutput();
}

// What a failed job wrote would only pass for the start of a recording.
void CConverter::DiscardPartialOutput() {
  if (!partPath_.empty() && !outputKept_) std::remove(partPath_.c_str());
}

int CConverter::AviProgress() {
  REFERENCE_TIME position = 0;
  if (duration_ <= 0 || FAILED(graph_.CurrentPosition(position)) || position <= 0) return 0;
  return static_cast<int>(std::min<int64_t>(position * kProgressComplete / duration_, kProgressComplete));
}

// The writer's frames against 25 per second of duration; only completion gives 100.
int CConverter::WmvProgress() {
  const auto expected = static_cast<DWORD>(static_cast<double>(duration_) * kExpectedFramesPerUnit);
  DWORD written = 0;
  if (expected == 0 || FAILED(graph_.WrittenFrames(expected, written))) return 0;
  const auto percent = static_cast<int64_t>(static_cast<double>(written) / expected * kProgressComplete);
  return static_cast<int>(std::min<int64_t>(percent, kProgressBeforeCompletion));
}

HRESULT CConverter::Stop() {
  if (outputKept_) return S_OK;
  if (state_ != ConverterState::Running) return FAILED(failure_) ? failure_ : E_UNEXPECTED;
  return Finalise();
}

void CConverter::Release() {
  if (state_ != ConverterState::Halted && graph_.HasGraph()) graph_.Stop();
  if (graph_.HasGraph()) graph_.SetNotifyWindow(0);
  graph_.Destroy();
  state_ = ConverterState::Halted;
  DiscardPartialOutput();
}

void CConverter::ShowMessage(std::string_view text, std::string_view caption) const {
  if (messages_) messages_(text, caption);
}

}  // namespace recast
