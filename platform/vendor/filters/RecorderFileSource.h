// RecorderFileSource: the source filter for recorder files (".mp4", ".264", ".qrl" and any
// file starting with a recorder magic). Load indexes the file; the filter then has two
// output pins, "Video" and "Audio", whose types and samples are those the network splitter
// gives for the same stream, so the same decoders take either. One streaming thread
// (SourceStreamer) reads the file and pushes both pins; IMediaSeeking starts playback again
// at the first group at or after a time where decoding may resume.
//
// Locks: m_lock is the filter lock (state changes, connections, Load, seeking); the streaming
// thread never takes it. A state change or seek that needs the thread to stop first releases
// it from downstream (decommit, flush) and then waits for it under m_lock. Seeking
// (FileSourceSeeking) runs under m_lock too.
#pragma once

#include <memory>
#include <string>

#include "ControlInterfaces.h"
#include "FileIndex.h"
#include "Filter.h"
#include "RecorderSourceAudit.h"
#include "SourcePin.h"
#include "SourceStreamer.h"

namespace vendor {

class FileSourceSeeking;

class RecorderFileSource final : public CBaseFilter,
                                 public IFileSourceFilter,
                                 public IRecorderSourceAudit {
 public:
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);
  ~RecorderFileSource() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // No pins before Load; then the video pin (0) and the audio pin (1).
  int GetPinCount() override;
  CBasePin* GetPin(int n) override;

  // From Stopped: the pins become active and the streaming thread starts at the current
  // position. Stop ends the thread's run; the next Pause starts at the position again.
  HRESULT Stop() override;
  HRESULT Pause() override;

  // IFileSourceFilter. Load once (E_UNEXPECTED after); the media type is ignored. A file
  // that cannot be played fails with the codes of FileIndex::Build.
  HRESULT Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) override;

  // IRecorderSourceAudit: the digest taken while Load indexed the file, and the counts the
  // streaming thread keeps. E_FAIL when the indexing read did not cover the whole file.
  HRESULT GetFileDigest(BYTE digest[kRecorderDigestSize], ULONGLONG* size) override;
  HRESULT GetDeliveredCounts(ULONGLONG* frames, ULONGLONG* audioBlocks) override;

  const FileIndex& Index() const { return index_; }

  // Playback from `start` (file time) up to `stop` from the next run on, or at once when
  // active: the run in progress is flushed and playback starts again (m_lock held).
  HRESULT Reposition(REFERENCE_TIME start, REFERENCE_TIME stop);
  // Where runs stop, from the next run on (m_lock held).
  void SetStop(REFERENCE_TIME stop) { stop_ = stop; }

 private:
  explicit RecorderFileSource(IUnknown* outer);
  // The run from the current start position (m_lock held).
  PlayRange RangeFromStart() const;

  CCritSec m_lock;  // the filter lock
  // Set once by Load (m_lock held, stopped); read by the pins and the streaming thread after.
  FileIndex index_;
  std::u16string fileName_;
  std::unique_ptr<SourcePin> video_;
  std::unique_ptr<SourcePin> audio_;
  std::unique_ptr<SourceStreamer> streamer_;
  // IMediaSeeking, aggregated; made by Load. Its positions are guarded by m_lock.
  std::unique_ptr<FileSourceSeeking> seeking_;
  // Guarded by m_lock: where the next run starts (file time) and where runs stop.
  REFERENCE_TIME start_ = 0;
  REFERENCE_TIME stop_ = 0;
};

}  // namespace vendor
