// "Video Renderer" (CLSID_VideoRenderer): presents planar YUV 4:2:0 pictures (YV12, I420, IYUV)
// at their times against the graph clock, painting each into the frame sink registered for the
// window its IVideoWindow is owned by (FrameSink.h). Without an owner, or with no sink for it,
// nothing is painted, but pacing, frame counts and stepping work the same. A graph without a
// clock renders as fast as frames arrive.
//
// IVideoWindow keeps the window's properties (owner, position, style, visibility) for the sink
// side; IBasicVideo reports the connected picture size and keeps source and destination
// rectangles; IVideoFrameStep steps a paused renderer by frames: the frame shown while paused is
// the current one, Step(n) renders the next n as they arrive and holds the one after, then sends
// EC_STEP_COMPLETE. Running, stopping or flushing ends stepping.
//
// Locks: the base's filter lock (m_InterfaceLock), then m_stepLock (a leaf guarding the step
// state) and m_controlLock (a leaf guarding the window and video properties).
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "ControlInterfaces.h"
#include "GraphInterfaces.h"
#include "RenderTally.h"
#include "Renderer.h"

#define RECAST_DECLARE_OVERRIDE(name, params, args) HRESULT name params override;

struct VideoWindowState {
  OAHWND owner = 0;
  OAHWND messageDrain = 0;
  LONG left = 0, top = 0, width = 0, height = 0;
  LONG style = 0, styleEx = 0, windowState = 0, backgroundPalette = 0, borderColor = 0;
  LONG autoShow = -1;  // OATRUE
  LONG visible = 0;
  LONG fullScreen = 0;
  LONG cursorHidden = 0;
  std::u16string caption;
  RECT source{};       // empty: the whole picture
  RECT destination{};  // empty: the whole window
};

class VideoRenderer final : public CBaseRenderer,
                            public IVideoWindow,
                            public IBasicVideo,
                            public IVideoFrameStep,
                            public IAMFilterMiscFlags,
                            public IRenderStatistics {
 public:
  explicit VideoRenderer(IUnknown* outer, HRESULT* phr);
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  DECLARE_IUNKNOWN
  DECLARE_NO_DISPATCH
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT SetMediaType(const CMediaType* pmt) override;
  HRESULT DoRenderSample(IMediaSample* pSample) override;
  void OnReceiveFirstSample(IMediaSample* pSample) override;
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT BeginFlush() override;

  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;

  RECAST_IVIDEOWINDOW_METHODS(RECAST_DECLARE_OVERRIDE)
  RECAST_IBASICVIDEO_METHODS(RECAST_DECLARE_OVERRIDE)
  RECAST_IVIDEOFRAMESTEP_METHODS(RECAST_DECLARE_OVERRIDE)

  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
  HRESULT GetRenderStatistics(LONG* samples, REFERENCE_TIME* firstStart,
                              REFERENCE_TIME* lastStart) override {
    return m_tally.Get(samples, firstStart, lastStart);
  }

  // Pictures rendered since the last start from stopped (the still shown while paused not
  // counted).
  LONG FramesRendered() { return m_tally.Samples(); }
  // Pictures handed to a frame sink since the filter was made.
  LONG FramesPainted() const { return m_framesPainted; }

 private:
  void Paint(IMediaSample* pSample);
  // Leaves stepping and releases a Receive waiting for the next step.
  void EndStepping();
  // The Receive of a frame while stepping: S_FALSE when it is not stepped (go on normally).
  HRESULT ReceiveStepped(IMediaSample* pSample);
  HRESULT ConnectedSize(LONG* width, LONG* height);

  RenderTally m_tally;
  std::atomic<LONG> m_framesPainted{0};

  std::mutex m_stepLock;
  std::condition_variable m_stepChanged;
  bool m_stepping = false;    // guarded by m_stepLock: a Step sequence is active
  DWORD m_stepRemaining = 0;  // guarded by m_stepLock

  std::mutex m_controlLock;
  VideoWindowState m_window;             // guarded by m_controlLock
  int m_videoWidth = 0;                  // guarded by m_controlLock: 0 when not connected
  int m_videoHeight = 0;                 // guarded by m_controlLock
  REFERENCE_TIME m_avgTimePerFrame = 0;  // guarded by m_controlLock
  GUID m_subtype = GUID_NULL;            // guarded by m_controlLock
};
