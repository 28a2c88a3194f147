#include "FileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "ComRuntime.h"
#include "DebugOutput.h"
#include "Seeking.h"
#include "SysFilterIds.h"
#include "WideString.h"

namespace {

constexpr mode_t kFileMode = 0644;
constexpr LONG ERROR_DISK_FULL = 112;  // the Win32 code for a full disk

// What a failed create or write reports: a full disk (or a file size limit) as such, anything
// else as E_FAIL; the system's reason goes to the debug output.
HRESULT FileFailure(const char* what, const std::u16string& name) {
  const int error = errno;
  char line[512];
  std::snprintf(line, sizeof(line), "File writer: %s %s: %s\n", what, WideToUtf8(name).c_str(),
                std::strerror(error));
  OutputDebugStringA(line);
  return error == ENOSPC || error == EFBIG ? HRESULT_FROM_WIN32(ERROR_DISK_FULL) : E_FAIL;
}

}  // namespace

class FileWriterInputPin final : public CBaseInputPin {
 public:
  FileWriterInputPin(FileWriter* filter, CCritSec* lock, HRESULT* phr)
      : CBaseInputPin("File writer input", filter, lock, phr, u"in"), m_pWriter(filter) {}

  // Any stream: the bytes are written as they come.
  HRESULT CheckMediaType(const CMediaType* pmt) override { return pmt ? S_OK : E_POINTER; }

  // Also while stopped, as long as the file of the last run is open (see the class notes).
  HRESULT CheckStreaming() override {
    const HRESULT hr = CBaseInputPin::CheckStreaming();
    if (hr == VFW_E_WRONG_STATE && m_pWriter->FileOpen()) return S_OK;
    return hr;
  }

  HRESULT Receive(IMediaSample* pSample) override {
    const HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr != S_OK) return hr;
    return m_pWriter->Write(pSample);
  }

  // The allocator stays committed when this sink stops: a multiplexer upstream may still finish
  // the file, and its output pin decommits the allocator when it stops itself.
  HRESULT Inactive() override {
    m_bRunTimeError = false;
    m_bFlushing = false;
    return S_OK;
  }

  HRESULT EndOfStream() override {
    const HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return m_pWriter->EndOfStream();
  }

 protected:
  HRESULT BreakConnect() override {
    m_pWriter->CloseFile();
    return CBaseInputPin::BreakConnect();
  }

 private:
  FileWriter* const m_pWriter;
};

FileWriter::FileWriter(IUnknown* outer)
    : CBaseFilter("File writer", outer, &m_lock, CLSID_FileWriter) {}

FileWriter::~FileWriter() {
  CloseFile();
  if (m_pPosition) m_pPosition->Release();
  delete m_pInput;
}

CUnknown* FileWriter::CreateInstance(IUnknown* outer, HRESULT*) {
  return new (std::nothrow) FileWriter(outer);
}

HRESULT FileWriter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IFileSinkFilter) return GetInterface(static_cast<IFileSinkFilter*>(this), ppv);
  if (riid == IID_IMediaSeeking || riid == IID_IMediaPosition) {
    if (!ppv) return E_POINTER;
    CAutoLock lock(&m_lock);
    if (!m_pPosition) {
      CBasePin* input = GetPin(0);
      if (!input) return E_OUTOFMEMORY;
      const HRESULT hr = CreatePosPassThru(GetOwner(), FALSE, input, &m_pPosition);
      if (FAILED(hr)) return hr;
    }
    return m_pPosition->QueryInterface(riid, ppv);
  }
  return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

CBasePin* FileWriter::GetPin(int n) {
  if (n != 0) return nullptr;
  CAutoLock lock(&m_lock);
  if (!m_pInput) {
    HRESULT hr = S_OK;
    m_pInput = new (std::nothrow) FileWriterInputPin(this, &m_lock, &hr);
    if (m_pInput && FAILED(hr)) {
      delete m_pInput;
      m_pInput = nullptr;
    }
    IncrementPinVersion();
  }
  return m_pInput;
}

HRESULT FileWriter::Pause() {
  CAutoLock lock(&m_lock);
  if (IsStopped()) {
    std::lock_guard guard(m_fileLock);
    if (m_name.empty()) return E_FAIL;
    if (m_fd >= 0) close(m_fd);
    m_fd = open(WideToUtf8(m_name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode);
    if (m_fd < 0) return FileFailure("cannot create", m_name);
    m_appendAt = 0;
    m_eos = false;
    m_eosDelivered = false;
    m_error = S_OK;
  }
  return CBaseFilter::Pause();
}

HRESULT FileWriter::Run(REFERENCE_TIME tStart) {
  CAutoLock lock(&m_lock);
  const HRESULT hr = CBaseFilter::Run(tStart);
  if (SUCCEEDED(hr)) DeliverCompletionIfDue();
  return hr;
}

HRESULT FileWriter::Stop() {
  CAutoLock lock(&m_lock);
  return CBaseFilter::Stop();
}

HRESULT FileWriter::SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE*) {
  if (!pszFileName) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (!IsStopped()) return VFW_E_WRONG_STATE;
  CloseFile();
  std::lock_guard guard(m_fileLock);
  m_name.assign(pszFileName, WideLength(pszFileName));
  return S_OK;
}

HRESULT FileWriter::GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) {
  if (!ppszFileName) return E_POINTER;
  *ppszFileName = nullptr;
  std::lock_guard guard(m_fileLock);
  if (m_name.empty()) return E_FAIL;
  const size_t bytes = (m_name.size() + 1) * sizeof(WCHAR);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, m_name.c_str(), bytes);
  *ppszFileName = copy;
  if (pmt) {
    *pmt = AM_MEDIA_TYPE{};
    pmt->majortype = MEDIATYPE_Stream;
  }
  return S_OK;
}

bool FileWriter::FileOpen() {
  std::lock_guard guard(m_fileLock);
  return m_fd >= 0 && !m_eos;
}

HRESULT FileWriter::Write(IMediaSample* sample) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return E_POINTER;
  const LONG length = sample->GetActualDataLength();
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const bool positioned = SUCCEEDED(sample->GetTime(&start, &stop));
  HRESULT hr = S_OK;
  {
    std::lock_guard guard(m_fileLock);
    if (m_fd < 0) return VFW_E_WRONG_STATE;
    if (m_eos) return VFW_E_SAMPLE_REJECTED_EOS;
    if (FAILED(m_error)) return m_error;
    LONGLONG position = positioned ? start : m_appendAt;
    if (position < 0 || length < 0) return E_INVALIDARG;
    hr = WriteAllLocked(data, length, position);
    if (SUCCEEDED(hr)) {
      m_appendAt = std::max(m_appendAt, position + length);
      return S_OK;
    }
    m_error = hr;
  }
  // The file now misses bytes: the run cannot end in a complete file, so it is aborted.
  NotifyEvent(EC_ERRORABORT, hr, 0);
  return hr;
}

HRESULT FileWriter::WriteAllLocked(const BYTE* data, LONG length, LONGLONG position) {
  for (LONG done = 0; done < length;) {
    const ssize_t written = pwrite(m_fd, data + done, length - done, position + done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return FileFailure("cannot write", m_name);
    if (written == 0) {
      errno = ENOSPC;
      return FileFailure("cannot write", m_name);
    }
    done += static_cast<LONG>(written);
  }
  return S_OK;
}

HRESULT FileWriter::EndOfStream() {
  {
    std::lock_guard guard(m_fileLock);
    if (m_eos) return S_OK;
    m_eos = true;
    if (FAILED(m_error)) return m_error;  // aborted already; no completion follows
  }
  DeliverCompletionIfDue();
  return S_OK;
}

void FileWriter::CloseFile() {
  std::lock_guard guard(m_fileLock);
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}

void FileWriter::DeliverCompletionIfDue() {
  {
    std::lock_guard guard(m_fileLock);
    if (!m_eos || m_eosDelivered || FAILED(m_error) || m_State != State_Running) return;
    m_eosDelivered = true;
  }
  NotifyEvent(EC_COMPLETE, S_OK, 0);
}
