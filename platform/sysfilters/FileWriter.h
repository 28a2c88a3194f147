// "File writer" (CLSID_FileWriter): a sink that writes every byte it receives into one file, at
// the byte position each sample's start time gives (samples without times are appended). A
// multiplexer upstream uses the positions to go back and patch headers and indexes.
//
// The file is created (truncated) when the filter pauses from stopped. It stays open after Stop
// until the next start, a new file name, a disconnection or the filter's end, so that a
// multiplexer stopped after its sink can still finish the file (its header and index).
//
// The filter answers IMediaSeeking through a pass-through to the multiplexer upstream, so the
// graph's current position is the time written so far. End of stream while running (or at the
// next Run) sends EC_COMPLETE. A write that fails sends EC_ERRORABORT with its error instead, and
// the run then gets no EC_COMPLETE: the file misses bytes.
//
// Locks: m_lock is the filter lock; m_fileLock (a leaf) guards the file, the name and the
// end-of-stream flags and serialises writes with opening and closing.
#pragma once

#include <mutex>
#include <string>

#include "ControlInterfaces.h"
#include "Filter.h"

class FileWriterInputPin;

class FileWriter final : public CBaseFilter, public IFileSinkFilter {
 public:
  explicit FileWriter(IUnknown* outer);
  ~FileWriter() override;
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override;

  // Opens the file from Stopped: E_FAIL without a name, the system's error when it cannot be
  // created.
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT Stop() override;

  // VFW_E_WRONG_STATE unless stopped; E_POINTER for no name. The type is ignored.
  HRESULT SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) override;
  // E_FAIL when no name was set.
  HRESULT GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) override;

  // From the input pin.
  bool FileOpen();
  HRESULT Write(IMediaSample* sample);
  HRESULT EndOfStream();
  void CloseFile();

 private:
  void DeliverCompletionIfDue();
  HRESULT WriteAllLocked(const BYTE* data, LONG length, LONGLONG position);

  CCritSec m_lock;  // the filter lock
  FileWriterInputPin* m_pInput = nullptr;  // owned; made under m_lock on first request
  IUnknown* m_pPosition = nullptr;          // the seeking pass-through's inner unknown; m_lock

  std::mutex m_fileLock;
  std::u16string m_name;       // guarded by m_fileLock
  int m_fd = -1;               // guarded by m_fileLock
  LONGLONG m_appendAt = 0;     // guarded by m_fileLock: where untimed data goes
  bool m_eos = false;          // guarded by m_fileLock
  bool m_eosDelivered = false; // guarded by m_fileLock
  HRESULT m_error = S_OK;      // guarded by m_fileLock: the first failed write of this run
};
