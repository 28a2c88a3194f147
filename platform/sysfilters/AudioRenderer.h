// "Audio Renderer" (CLSID_AudioRender): consumes PCM at the graph clock's speed (each buffer at
// its time, as a sound device would take it) and provides the graph's reference clock, the
// system clock, so that video is paced against it. IBasicAudio keeps volume and balance.
// A graph without a clock lets it consume as fast as data arrives. While the graph steps its
// video renderer by frames, the audio renderer follows (IFrameStepFollower): it drops what
// arrives, so the source's thread reaches the next frame.
//
// Locks: the base's filter lock; m_audioLock (a leaf) guards the format and volume.
#pragma once

#include <atomic>
#include <mutex>

#include "ComPtr.h"
#include "ControlInterfaces.h"
#include "FrameStepFollower.h"
#include "GraphInterfaces.h"
#include "RenderTally.h"
#include "Renderer.h"

#define RECAST_DECLARE_OVERRIDE(name, params, args) HRESULT name params override;

class AudioRenderer final : public CBaseRenderer,
                            public IBasicAudio,
                            public IReferenceClock,
                            public IFrameStepFollower,
                            public IAMFilterMiscFlags,
                            public IRenderStatistics {
 public:
  AudioRenderer(IUnknown* outer, HRESULT* phr);
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  DECLARE_IUNKNOWN
  DECLARE_NO_DISPATCH
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // PCM (8 or 16 bits per sample) with a WAVEFORMATEX.
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT SetMediaType(const CMediaType* pmt) override;
  HRESULT DoRenderSample(IMediaSample* pSample) override;
  // Drops the sample while following a frame step.
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT BeginFlush() override;

  RECAST_IBASICAUDIO_METHODS(RECAST_DECLARE_OVERRIDE)

  // IReferenceClock: the system clock's.
  HRESULT GetTime(REFERENCE_TIME* pTime) override;
  HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                     DWORD_PTR* pdwAdviseCookie) override;
  HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                         HSEMAPHORE hSemaphore, DWORD_PTR* pdwAdviseCookie) override;
  HRESULT Unadvise(DWORD_PTR dwAdviseCookie) override;

  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
  HRESULT GetRenderStatistics(LONG* samples, REFERENCE_TIME* firstStart,
                              REFERENCE_TIME* lastStart) override {
    return m_tally.Get(samples, firstStart, lastStart);
  }

  HRESULT FollowFrameStep() override;

  // Starting from stopped clears the counts; running and stopping end following a step.
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT Stop() override;

  // Bytes and buffers consumed since the last start from stopped, and their duration (100 ns
  // units).
  LONGLONG BytesRendered() const { return m_bytesRendered; }
  LONG BuffersRendered() { return m_tally.Samples(); }
  REFERENCE_TIME DurationRendered();

 private:
  ComPtr<IReferenceClock> m_clock;  // the system clock; set once in the constructor

  RenderTally m_tally;
  std::atomic<LONGLONG> m_bytesRendered{0};
  // Set under the filter lock by FollowFrameStep, cleared by Run, Stop and flushes; read by
  // the streaming thread.
  std::atomic<bool> m_followingStep{false};

  std::mutex m_audioLock;
  DWORD m_bytesPerSecond = 0;  // guarded by m_audioLock
  LONG m_volume = 0;           // guarded by m_audioLock: hundredths of a decibel, 0 = full
  LONG m_balance = 0;          // guarded by m_audioLock: -10000 (left) .. 10000 (right)
};
