// Media samples and the allocators that own them.
//
// Classes:
//   CMediaSample     one buffer of an allocator with its times, flags, actual length and an
//                    optional media type change. When its last reference goes it returns to its
//                    allocator (it is never deleted by Release).
//   CBaseAllocator   the free list, commit/decommit and the blocking GetBuffer. Derive from it
//                    and override Alloc (must: create the samples) and Free (must: destroy them).
//   CMemAllocator    the standard allocator: one aligned block of memory carved into buffers,
//                    each with `cbPrefix` bytes before the pointer a sample hands out.
//
// Lifetime: every sample handed out by GetBuffer holds a reference on its allocator, so an
// allocator lives until its last sample comes back. Decommit wakes every thread blocked in
// GetBuffer (which then fails with VFW_E_NOT_COMMITTED); the buffers are freed when the last
// outstanding sample returns. A Commit before that cancels the pending free.
//
// Locking: one lock per allocator (m_lock) guards the free list and the properties; it is a
// leaf (nothing else is taken while it is held, and no sample or allocator is released under it).
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "ComBase.h"
#include "Interfaces.h"

class CBaseAllocator;

class CMediaSample : public IMediaSample {
 public:
  // `buffer` points at `length` bytes owned by the allocator.
  CMediaSample(const char* name, CBaseAllocator* allocator, BYTE* buffer, LONG length);
  virtual ~CMediaSample();
  CMediaSample(const CMediaSample&) = delete;
  CMediaSample& operator=(const CMediaSample&) = delete;

  // IUnknown: IMediaSample only; the count is the sample's own.
  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  // The last Release clears times, flags and media type and gives the sample back.
  ULONG Release() override;

  HRESULT GetPointer(BYTE** ppBuffer) override;
  LONG GetSize() override;
  // VFW_E_SAMPLE_TIME_NOT_SET without a start time; VFW_S_NO_STOP_TIME (stop = start + 1)
  // with a start time only.
  HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
  // A null start clears both times; a null stop clears the stop time.
  HRESULT SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
  HRESULT IsSyncPoint() override;
  HRESULT SetSyncPoint(BOOL bIsSyncPoint) override;
  HRESULT IsPreroll() override;
  HRESULT SetPreroll(BOOL bIsPreroll) override;
  LONG GetActualDataLength() override;
  // VFW_E_BUFFER_OVERFLOW for a length below 0 or above the buffer size.
  HRESULT SetActualDataLength(LONG length) override;
  // S_FALSE and nullptr unless the type changed with this sample.
  HRESULT GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
  HRESULT SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
  HRESULT IsDiscontinuity() override;
  HRESULT SetDiscontinuity(BOOL bDiscontinuity) override;
  HRESULT GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
  HRESULT SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;

 protected:
  friend class CBaseAllocator;
  // Sample_ flags: which of the properties below are set.
  enum : DWORD {
    Sample_SyncPoint = 0x01,
    Sample_Preroll = 0x02,
    Sample_Discontinuity = 0x04,
    Sample_TypeChanged = 0x08,
    Sample_TimeValid = 0x10,
    Sample_MediaTimeValid = 0x20,
    Sample_StopValid = 0x100,
  };
  void ResetProperties();

  // The properties belong to whoever holds the sample (one thread at a time, handed over with
  // the sample); the allocator touches them only while the sample is on its free list.
  CBaseAllocator* const m_pAllocator;
  BYTE* const m_pBuffer;
  const LONG m_cbBuffer;
  const char* const m_pName;
  DWORD m_dwFlags = 0;
  LONG m_lActual;
  REFERENCE_TIME m_Start = 0;
  REFERENCE_TIME m_End = 0;
  LONGLONG m_MediaStart = 0;
  LONGLONG m_MediaEnd = 0;
  AM_MEDIA_TYPE* m_pMediaType = nullptr;
  std::atomic<LONG> m_cRef{0};
};

class CBaseAllocator : public CUnknown, public IMemAllocator {
 public:
  CBaseAllocator(const char* name, IUnknown* outer);
  ~CBaseAllocator() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // VFW_E_ALREADY_COMMITTED while committed, VFW_E_BUFFERS_OUTSTANDING while samples are out.
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override;
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
  // VFW_E_SIZENOTSET before SetProperties; otherwise allocates (Alloc) and allows GetBuffer.
  HRESULT Commit() override;
  // Refuses further GetBuffer calls, wakes the waiting ones and frees the buffers once all
  // samples are back.
  HRESULT Decommit() override;
  // Blocks until a buffer is free (VFW_E_TIMEOUT at once with AM_GBF_NOWAIT) or the allocator
  // is decommitted (VFW_E_NOT_COMMITTED). The sample comes with the given times set.
  HRESULT GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime, REFERENCE_TIME* pEndTime,
                    DWORD dwFlags) override;
  // Called by CMediaSample::Release; puts the sample back on the free list.
  HRESULT ReleaseBuffer(IMediaSample* pBuffer) override;

 protected:
  // Creates m_lCount samples of m_lSize bytes (as set by SetProperties) into m_samples and the
  // free list. Called under m_lock.
  virtual HRESULT Alloc() = 0;
  // Destroys every sample and buffer. Called under m_lock with all samples free.
  virtual void Free() = 0;

  // Every sample this allocator made (owned), and those not handed out now.
  std::vector<std::unique_ptr<CMediaSample>> m_samples;  // guarded by m_lock
  std::vector<CMediaSample*> m_free;     // guarded by m_lock

  std::mutex m_lock;
  std::condition_variable m_freed;  // signalled when a sample returns or on Decommit
  LONG m_lCount = 0;                // guarded by m_lock: buffers requested
  LONG m_lSize = 0;                 // guarded by m_lock: bytes per buffer
  LONG m_lAlignment = 0;            // guarded by m_lock
  LONG m_lPrefix = 0;               // guarded by m_lock
  bool m_bCommitted = false;        // guarded by m_lock
  bool m_bDecommitInProgress = false;  // guarded by m_lock: free when the last sample returns
};

class CMemAllocator : public CBaseAllocator {
 public:
  CMemAllocator(const char* name, IUnknown* outer);
  ~CMemAllocator() override;
  // A new allocator (for class factory tables and input pins).
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  // Also VFW_E_BADALIGN for an alignment that is not a power of two; the buffer size is rounded
  // up so that every buffer (with its prefix) starts aligned.
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override;

 protected:
  HRESULT Alloc() override;
  void Free() override;

 private:
  BYTE* m_pMemory = nullptr;  // guarded by m_lock: the block all buffers live in
};
