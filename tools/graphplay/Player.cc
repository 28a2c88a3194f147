#include "Player.h"

#include <chrono>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <thread>

#include "DShowErrors.h"
#include "PinUtil.h"
#include "RenderStatistics.h"
#include "WideString.h"

namespace {

constexpr LONG kEventPollMs = 50;
// How long one frame step may take before stepping is given up (a loaded machine is slow, a
// stuck step never ends).
constexpr auto kStepTimeout = std::chrono::seconds(10);
constexpr double kUnitsPerSecond = 10000000.0;

std::string Hex(HRESULT code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
  return text;
}

std::string Seconds(REFERENCE_TIME t) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(t) / kUnitsPerSecond);
  return text;
}

std::string Quoted(const std::u16string& text) {
  std::string quoted(1, '"');
  quoted += WideToUtf8(text);
  quoted += '"';
  return quoted;
}

std::vector<ComPtr<IBaseFilter>> Filters(IGraphBuilder* graph) {
  std::vector<ComPtr<IBaseFilter>> filters;
  ComPtr<IEnumFilters> list;
  if (!graph || FAILED(graph->EnumFilters(list.GetAddressOf()))) return filters;
  IBaseFilter* filter = nullptr;
  while (list->Next(1, &filter, nullptr) == S_OK) {
    ComPtr<IBaseFilter> owned;
    owned.Attach(filter);
    filters.push_back(std::move(owned));
  }
  return filters;
}

std::string ConnectionType(IPin* pin) {
  AM_MEDIA_TYPE mt{};
  if (FAILED(pin->ConnectionMediaType(&mt))) return "";
  const std::string text = GuidToString(mt.majortype) + " " + GuidToString(mt.subtype);
  FreeMediaType(mt);
  return text;
}

}  // namespace

std::string DescribeFailure(HRESULT hr) {
  switch (hr) {
    case VFW_E_UNKNOWN_FILE_TYPE: return "no source filter is registered for it";
    case VFW_E_CANNOT_LOAD_SOURCE_FILTER: return "its source filter cannot be created";
    case VFW_E_CANNOT_RENDER: return "no filters can render its streams";
    case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): return "file not found";
    case REGDB_E_CLASSNOTREG: return "the filter graph manager is not registered";
    default: return "error " + Hex(hr);
  }
}

HRESULT GraphPlayer::Open(const std::string& target, std::string& why) {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                m_graph.ReleaseAndGetVoidAddress());
  if (SUCCEEDED(hr)) hr = m_graph->RenderFile(Utf8ToWide(target).c_str(), nullptr);
  if (FAILED(hr)) why = DescribeFailure(hr) + " (" + Hex(hr) + ")";
  else if (hr == VFW_S_PARTIAL_RENDER) why = "some streams could not be rendered";
  return hr;
}

void GraphPlayer::Describe(std::ostream& out) const {
  out << "Graph:\n";
  for (const auto& filter : Filters(m_graph.Get())) {
    CLSID clsid = GUID_NULL;
    filter->GetClassID(&clsid);
    out << "  " << Quoted(FilterName(filter.Get())) << " " << GuidToString(clsid) << "\n";
    for (const auto& pin : FilterPins(filter.Get(), PINDIR_OUTPUT)) {
      const auto peer = ConnectedPin(pin.Get());
      out << "    " << Quoted(PinName(pin.Get())) << " -> ";
      if (!peer) {
        out << "(not connected)\n";
        continue;
      }
      out << Quoted(FilterName(PinOwner(peer.Get()).Get())) << "." << Quoted(PinName(peer.Get()))
          << "  " << ConnectionType(pin.Get()) << "\n";
    }
  }
}

HRESULT GraphPlayer::Act(const PlayActions& actions, std::ostream& log) {
  const auto control = m_graph.As<IMediaControl>();
  if (actions.pauseRun) {
    log << "Pausing for one second\n";
    control->Pause();
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  if (actions.stepFrames > 0) StepFrames(actions.stepFrames, log);
  if (actions.seekPercent) {
    const auto seeking = m_graph.As<IMediaSeeking>();
    LONGLONG duration = 0;
    HRESULT hr = seeking ? seeking->GetDuration(&duration) : E_NOINTERFACE;
    if (FAILED(hr) || duration <= 0) {
      log << "Cannot seek: no duration (" << Hex(hr) << ")\n";
    } else {
      control->Pause();
      LONGLONG position = static_cast<LONGLONG>(static_cast<double>(duration) *
                                                *actions.seekPercent / 100.0);
      hr = seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr,
                                 AM_SEEKING_NoPositioning);
      log << "Seek to " << Seconds(position) << " of " << Seconds(duration) << ": "
          << (SUCCEEDED(hr) ? "done" : "failed " + Hex(hr)) << "\n";
    }
  }
  return control->Run();
}

void GraphPlayer::StepFrames(int frames, std::ostream& log) {
  const auto control = m_graph.As<IMediaControl>();
  const auto events = m_graph.As<IMediaEventEx>();
  const auto step = m_graph.As<IVideoFrameStep>();
  control->Pause();
  int stepped = 0;
  while (step && stepped < frames && SUCCEEDED(step->Step(1, nullptr))) {
    const auto deadline = std::chrono::steady_clock::now() + kStepTimeout;
    bool completed = false;
    while (!completed && std::chrono::steady_clock::now() < deadline) {
      LONG code = 0;
      LONG_PTR p1 = 0;
      LONG_PTR p2 = 0;
      if (events->GetEvent(&code, &p1, &p2, kEventPollMs) != S_OK) continue;
      events->FreeEventParams(code, p1, p2);
      completed = code == EC_STEP_COMPLETE;
    }
    if (!completed) break;
    ++stepped;
  }
  log << "Stepped " << stepped << " of " << frames << " frames\n";
}

PlayOutcome GraphPlayer::Play(std::optional<double> seconds, const std::atomic<bool>& stop,
                              const PlayActions& actions) {
  const auto control = m_graph.As<IMediaControl>();
  const auto events = m_graph.As<IMediaEventEx>();
  if (HRESULT hr = control->Run(); FAILED(hr)) return {PlayEnd::kError, hr};
  const auto start = std::chrono::steady_clock::now();
  bool acted = !actions.seekPercent && !actions.pauseRun && actions.stepFrames <= 0;
  PlayOutcome outcome{PlayEnd::kInterrupted, S_OK};
  while (!stop) {
    if (!acted && std::chrono::steady_clock::now() - start >= std::chrono::seconds(1)) {
      acted = true;
      if (HRESULT hr = Act(actions, std::cout); FAILED(hr)) return {PlayEnd::kError, hr};
    }
    LONG code = 0;
    LONG_PTR p1 = 0;
    LONG_PTR p2 = 0;
    if (events->GetEvent(&code, &p1, &p2, kEventPollMs) == S_OK) {
      events->FreeEventParams(code, p1, p2);
      if (code == EC_COMPLETE) {
        outcome = {PlayEnd::kComplete, S_OK};
        break;
      }
      if (code == EC_ERRORABORT || code == EC_USERABORT) {
        outcome = {PlayEnd::kError, static_cast<HRESULT>(p1)};
        break;
      }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (seconds && elapsed.count() >= *seconds) {
      outcome = {PlayEnd::kTimeLimit, S_OK};
      break;
    }
  }
  control->Stop();
  return outcome;
}

void GraphPlayer::RunWithoutClock() {
  if (const auto filter = m_graph.As<IMediaFilter>()) filter->SetSyncSource(nullptr);
}

void GraphPlayer::Report(std::ostream& out, double elapsedSeconds) const {
  for (const auto& filter : Filters(m_graph.Get())) {
    if (!IsRenderer(filter.Get())) continue;
    out << "Renderer " << Quoted(FilterName(filter.Get())) << ": ";
    ComPtr<IRenderStatistics> statistics = filter.As<IRenderStatistics>();
    LONG samples = 0;
    REFERENCE_TIME first = 0;
    REFERENCE_TIME last = 0;
    if (statistics && SUCCEEDED(statistics->GetRenderStatistics(&samples, &first, &last))) {
      out << samples << " samples, " << Seconds(first) << " to " << Seconds(last);
      if (elapsedSeconds > 0) out << ", " << static_cast<long>(samples / elapsedSeconds) << " per second";
      out << "\n";
      continue;
    }
    ComPtr<IMediaSeeking> seeking = filter.As<IMediaSeeking>();
    LONGLONG position = 0;
    if (seeking && SUCCEEDED(seeking->GetCurrentPosition(&position)))
      out << "no sample count, last position " << Seconds(position) << "\n";
    else
      out << "reports nothing\n";
  }
}
