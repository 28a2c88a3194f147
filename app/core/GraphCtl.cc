// Creating and destroying the graph object, and the questions the converter asks of it.
#include "GraphCtl.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "ComRuntime.h"
#include "DShowErrors.h"
#include "FilterGraph.h"
#include "OleInterfaces.h"
#include "WideString.h"

namespace recast {
namespace {

constexpr char16_t kItemDelimiter[] = u"!";
// Paths handed to RenderFile are cut at the platform's path limit.
constexpr size_t kMaxPathChars = 260;
constexpr LONG kHidden = 0;  // put_Visible: OAFALSE

// The result an event stands for: the error it carries for the four that end a run
// (E_FAIL when it carries none, E_ABORT for the user's abort), S_OK for every other event.
HRESULT FailureOf(LONG code, LONG_PTR param1) {
  const auto carried = static_cast<HRESULT>(param1);
  switch (code) {
    case EC_USERABORT: return E_ABORT;
    case EC_ERRORABORT:
    case EC_STREAM_ERROR_STOPPED:
    case EC_ERROR_STILLPLAYING: return FAILED(carried) ? carried : E_FAIL;
    default: return S_OK;
  }
}

template <typename T>
HRESULT Query(IUnknown* object, ComPtr<T>& out) {
  return object->QueryInterface(__uuidof(T), out.ReleaseAndGetVoidAddress());
}

}  // namespace

HRESULT CGraphCtl::Create() {
  Destroy();
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IGraphBuilder, graph_.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  RegisterInTable();
  for (HRESULT step : {Query(graph_.Get(), control_), Query(graph_.Get(), events_),
                       Query(graph_.Get(), seeking_), Query(graph_.Get(), basicVideo_),
                       Query(graph_.Get(), basicAudio_), Query(graph_.Get(), videoWindow_),
                       Query(graph_.Get(), frameStep_)}) {
    if (FAILED(step)) {
      Destroy();
      return step;
    }
  }
  return S_OK;
}

// A graph in the running object table can be watched from a graph viewer while it converts;
// a failed registration costs nothing else.
HRESULT CGraphCtl::RegisterInTable() {
  char item[64];
  std::snprintf(item, sizeof item, "FilterGraph %08" PRIXPTR " pid %08x",
                reinterpret_cast<uintptr_t>(graph_.Get()), static_cast<unsigned>(getpid()));
  tableName_ = Utf8ToWide(item);
  ComPtr<IRunningObjectTable> table;
  ComPtr<IMoniker> moniker;
  HRESULT hr = GetRunningObjectTable(0, table.GetAddressOf());
  if (SUCCEEDED(hr)) hr = CreateItemMoniker(kItemDelimiter, tableName_.c_str(), moniker.GetAddressOf());
  if (SUCCEEDED(hr))
    hr = table->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, graph_.Get(), moniker.Get(), &tableCookie_);
  return hr;
}

void CGraphCtl::Destroy() {
  if (control_) control_->Stop();
  if (videoWindow_) {
    videoWindow_->put_Visible(kHidden);
    videoWindow_->put_MessageDrain(0);
    videoWindow_->put_Owner(0);
  }
  if (tableCookie_ != 0) {
    ComPtr<IRunningObjectTable> table;
    if (SUCCEEDED(GetRunningObjectTable(0, table.GetAddressOf()))) table->Revoke(tableCookie_);
    tableCookie_ = 0;
  }
  for (ComPtr<IBaseFilter>* filter : {&videoEncoder_, &aviMux_, &fileWriter_, &audioProcessor_,
                                      &asfWriter_, &decompressor_})
    filter->Reset();
  writerConfig_.Reset();
  frameStep_.Reset();
  videoWindow_.Reset();
  basicAudio_.Reset();
  basicVideo_.Reset();
  seeking_.Reset();
  events_.Reset();
  control_.Reset();
  graph_.Reset();
  tableName_.clear();
}

HRESULT CGraphCtl::RenderFile(const std::string& path) {
  if (!graph_) return E_UNEXPECTED;
  std::u16string wide = Utf8ToWide(path);
  if (wide.size() > kMaxPathChars) wide.resize(kMaxPathChars);
  return graph_->RenderFile(wide.c_str(), nullptr);
}

HRESULT CGraphCtl::SetNotifyWindow(OAHWND window) {
  if (!events_) return E_UNEXPECTED;
  return events_->SetNotifyWindow(window, window ? kGraphNotifyMessage : 0, 0);
}

HRESULT CGraphCtl::Duration(REFERENCE_TIME& duration) {
  duration = 0;
  return seeking_ ? seeking_->GetDuration(&duration) : E_UNEXPECTED;
}

HRESULT CGraphCtl::CurrentPosition(REFERENCE_TIME& position) {
  position = 0;
  return seeking_ ? seeking_->GetCurrentPosition(&position) : E_UNEXPECTED;
}

HRESULT CGraphCtl::VideoSize(int32_t& width, int32_t& height) {
  if (!basicVideo_) return E_UNEXPECTED;
  LONG w = 0;
  LONG h = 0;
  HRESULT hr = basicVideo_->get_VideoWidth(&w);
  if (SUCCEEDED(hr)) hr = basicVideo_->get_VideoHeight(&h);
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
  return hr;
}

HRESULT CGraphCtl::Run() { return control_ ? control_->Run() : E_UNEXPECTED; }

HRESULT CGraphCtl::Stop() { return control_ ? control_->Stop() : E_UNEXPECTED; }

GraphNews CGraphCtl::TakeEvents(LONG timeoutMs) {
  GraphNews news;
  if (!events_) return news;
  LONG code = 0;
  LONG_PTR param1 = 0;
  LONG_PTR param2 = 0;
  for (LONG wait = timeoutMs; events_->GetEvent(&code, &param1, &param2, wait) == S_OK; wait = 0) {
    if (code == EC_COMPLETE) news.complete = true;
    if (SUCCEEDED(news.failure)) news.failure = FailureOf(code, param1);
  }
  return news;
}

void CGraphCtl::ShowMessage(std::string_view text, std::string_view caption) const {
  if (messages_) messages_(text, caption);
}

}  // namespace recast
