// FilterGraph: the renderer controls. Each call goes to the first filter in the graph that
// implements the interface; when none does, every method answers E_NOINTERFACE. A frame step
// also has the other renderers follow it (FrameStepFollower.h).
#include "FilterGraph.h"
#include "FrameStepFollower.h"

template <typename T>
HRESULT FilterGraph::FindControl(ComPtr<T>& control) {
  CAutoLock lock(&m_lock);
  for (const Member& m : m_members) {
    if (SUCCEEDED(m.filter.As(control))) return S_OK;
  }
  return E_NOINTERFACE;
}

#define RECAST_FORWARD_METHOD(Interface, name, params, args) \
  HRESULT FilterGraph::name params {                        \
    ComPtr<Interface> control;                              \
    if (FAILED(FindControl(control))) return E_NOINTERFACE; \
    return control->name args;                              \
  }

#define RECAST_FORWARD_AUDIO(name, params, args) RECAST_FORWARD_METHOD(IBasicAudio, name, params, args)
#define RECAST_FORWARD_VIDEO(name, params, args) RECAST_FORWARD_METHOD(IBasicVideo, name, params, args)
#define RECAST_FORWARD_WINDOW(name, params, args) \
  RECAST_FORWARD_METHOD(IVideoWindow, name, params, args)

RECAST_IBASICAUDIO_METHODS(RECAST_FORWARD_AUDIO)
RECAST_IBASICVIDEO_METHODS(RECAST_FORWARD_VIDEO)
RECAST_IVIDEOWINDOW_METHODS(RECAST_FORWARD_WINDOW)
RECAST_FORWARD_METHOD(IVideoFrameStep, CanStep, (LONG bMultiple, IUnknown* pStepObject),
                      (bMultiple, pStepObject))
RECAST_FORWARD_METHOD(IVideoFrameStep, CancelStep, (), ())

HRESULT FilterGraph::Step(DWORD dwFrames, IUnknown* pStepObject) {
  ComPtr<IVideoFrameStep> control;
  if (FAILED(FindControl(control))) return E_NOINTERFACE;
  const HRESULT hr = control->Step(dwFrames, pStepObject);
  if (FAILED(hr)) return hr;
  // A paused audio renderer would hold the source's thread, and with it the next frame.
  std::vector<ComPtr<IFrameStepFollower>> followers;
  {
    CAutoLock lock(&m_lock);
    for (const Member& m : m_members) {
      ComPtr<IFrameStepFollower> follower;
      if (SUCCEEDED(m.filter.As(follower))) followers.push_back(follower);
    }
  }
  for (const auto& follower : followers) follower->FollowFrameStep();
  return hr;
}
