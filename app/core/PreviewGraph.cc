#include "PreviewGraph.h"

#include <algorithm>

#include "DShowErrors.h"

namespace recast {
namespace {

constexpr LONG kVisible = -1;  // OATRUE
constexpr LONG kHidden = 0;

template <typename T>
HRESULT Query(IUnknown* object, ComPtr<T>& out) {
  return object->QueryInterface(__uuidof(T), out.ReleaseAndGetVoidAddress());
}

}  // namespace

HRESULT CPreviewGraph::Open(const std::string& path) {
  Close();
  HRESULT hr = graph_.Create();
  if (SUCCEEDED(hr)) hr = graph_.RenderFile(path);
  if (SUCCEEDED(hr)) hr = Query(graph_.Graph(), control_);
  if (SUCCEEDED(hr)) hr = Query(graph_.Graph(), window_);
  if (SUCCEEDED(hr)) hr = Query(graph_.Graph(), frameStep_);
  int32_t width = 0;
  int32_t height = 0;
  // A file whose video did not reach a renderer has nothing to preview.
  if (SUCCEEDED(hr) && (FAILED(graph_.VideoSize(width, height)) || width <= 0)) hr = E_FAIL;
  if (FAILED(hr)) {
    Close();
    return hr;
  }
  path_ = path;
  graph_.Duration(duration_);
  return S_OK;
}

HRESULT CPreviewGraph::Attach(OAHWND owner, LONG width, LONG height) {
  if (!window_) return E_UNEXPECTED;
  window_->put_Visible(kHidden);
  window_->put_Owner(owner);
  window_->put_Left(0);
  window_->put_Top(0);
  window_->put_Width(width);
  window_->put_Height(height);
  window_->put_WindowStyle(kPreviewWindowStyle);
  window_->put_MessageDrain(owner);
  return window_->put_Visible(owner ? kVisible : kHidden);
}

HRESULT CPreviewGraph::Play() { return ChangeState(State_Running); }

HRESULT CPreviewGraph::Pause() { return ChangeState(State_Paused); }

HRESULT CPreviewGraph::Step() {
  if (!frameStep_) return E_UNEXPECTED;
  Pause();
  if (frameStep_->CanStep(0, nullptr) != S_OK) return S_FALSE;
  Pause();
  return frameStep_->Step(1, nullptr);
}

void CPreviewGraph::Close() {
  if (control_) ChangeState(State_Stopped);
  if (window_) Attach(0, 0, 0);
  frameStep_.Reset();
  window_.Reset();
  control_.Reset();
  graph_.Destroy();
  path_.clear();
  duration_ = 0;
}

REFERENCE_TIME CPreviewGraph::Position() {
  REFERENCE_TIME position = 0;
  if (IsOpen()) graph_.CurrentPosition(position);
  return position;
}

int CPreviewGraph::SliderPosition() {
  if (duration_ <= 0) return 0;
  const double share = static_cast<double>(Position()) / static_cast<double>(duration_);
  return std::clamp(static_cast<int>(share * kSliderRange), 0, kSliderRange);
}

OAFilterState CPreviewGraph::CurrentState() {
  OAFilterState state = State_Stopped;
  if (control_) control_->GetState(kPreviewStateTimeoutMs, &state);
  return state;
}

// Run, pause and stop are skipped when the graph is already there.
HRESULT CPreviewGraph::ChangeState(OAFilterState wanted) {
  if (!control_) return E_UNEXPECTED;
  if (CurrentState() == wanted) return S_OK;
  switch (wanted) {
    case State_Running: return control_->Run();
    case State_Paused: return control_->Pause();
    default: return control_->Stop();
  }
}

}  // namespace recast
