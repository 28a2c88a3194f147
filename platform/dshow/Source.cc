#include "Source.h"

#include <algorithm>

namespace {

// Pause between retries when no buffer could be had (the allocator is being decommitted) or
// the source had no data yet.
constexpr DWORD kBufferRetryMs = 1;

}  // namespace

CSource::CSource(const char* name, IUnknown* outer, REFCLSID clsid)
    : CBaseFilter(name, outer, &m_cStateLock, clsid) {}

CSource::~CSource() {
  // Each stream removes itself from the list as it is deleted.
  while (!m_paStreams.empty()) delete m_paStreams.back();
}

int CSource::GetPinCount() { return static_cast<int>(m_paStreams.size()); }

CBasePin* CSource::GetPin(int n) {
  if (n < 0 || n >= GetPinCount()) return nullptr;
  return m_paStreams[static_cast<size_t>(n)];
}

HRESULT CSource::AddPin(CSourceStream* stream) {
  CAutoLock lock(&m_cStateLock);
  m_paStreams.push_back(stream);
  IncrementPinVersion();
  return S_OK;
}

HRESULT CSource::RemovePin(CSourceStream* stream) {
  CAutoLock lock(&m_cStateLock);
  const auto it = std::find(m_paStreams.begin(), m_paStreams.end(), stream);
  if (it == m_paStreams.end()) return S_FALSE;
  m_paStreams.erase(it);
  IncrementPinVersion();
  return S_OK;
}

int CSource::FindPinNumber(IPin* pin) {
  for (int i = 0; i < GetPinCount(); ++i) {
    if (static_cast<IPin*>(m_paStreams[static_cast<size_t>(i)]) == pin) return i;
  }
  return -1;
}

CSourceStream::CSourceStream(const char* objectName, HRESULT* phr, CSource* filter, LPCWSTR name)
    : CBaseOutputPin(objectName, filter, filter->pStateLock(), phr, name), m_pSourceFilter(filter) {
  const HRESULT hr = filter->AddPin(this);
  if (phr && FAILED(hr)) *phr = hr;
}

CSourceStream::~CSourceStream() { m_pSourceFilter->RemovePin(this); }

HRESULT CSourceStream::Active() {
  CAutoLock lock(m_pFilter->pStateLock());
  if (m_pFilter->IsActive()) return S_FALSE;
  if (!IsConnected()) return S_OK;
  HRESULT hr = CBaseOutputPin::Active();
  if (FAILED(hr)) return hr;
  if (!Create()) return E_FAIL;
  hr = Init();
  if (FAILED(hr)) {
    // OnThreadCreate failed and the thread has ended: forget it, so that Stop does not wait
    // for an answer that cannot come.
    Close();
    CBaseOutputPin::Inactive();
    return hr;
  }
  return Pause();
}

HRESULT CSourceStream::Inactive() {
  CAutoLock lock(m_pFilter->pStateLock());
  if (!IsConnected()) return S_OK;
  // Decommit first: a thread waiting for a buffer wakes and sees the command.
  const HRESULT hr = CBaseOutputPin::Inactive();
  if (FAILED(hr)) return hr;
  if (ThreadExists()) {
    Stop();
    Exit();
    Close();
  }
  return S_OK;
}

HRESULT CSourceStream::CheckMediaType(const CMediaType* pMediaType) {
  if (!pMediaType) return E_POINTER;
  CAutoLock lock(m_pFilter->pStateLock());
  CMediaType mine;
  if (FAILED(GetMediaType(&mine))) return E_FAIL;
  return mine == *pMediaType ? S_OK : E_FAIL;
}

HRESULT CSourceStream::GetMediaType(int position, CMediaType* pMediaType) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  return GetMediaType(pMediaType);
}

HRESULT CSourceStream::GetMediaType(CMediaType*) { return E_UNEXPECTED; }

bool CSourceStream::CheckRequest(Command* command) {
  DWORD request = 0;
  if (!CAMThread::CheckRequest(&request)) return false;
  if (command) *command = static_cast<Command>(request);
  return true;
}

DWORD CSourceStream::ThreadProc() {
  // Nothing but CMD_INIT is valid before initialisation.
  for (Command command = GetRequest(); command != CMD_INIT; command = GetRequest()) {
    Reply(static_cast<DWORD>(E_UNEXPECTED));
  }
  HRESULT hr = OnThreadCreate();
  if (FAILED(hr)) {
    OnThreadDestroy();
    Reply(static_cast<DWORD>(hr));
    return 1;
  }
  Reply(S_OK);

  Command command;
  do {
    command = GetRequest();
    switch (command) {
      case CMD_EXIT:
      case CMD_STOP:
        Reply(S_OK);
        break;
      case CMD_RUN:
      case CMD_PAUSE:
        Reply(S_OK);
        DoBufferProcessingLoop();
        break;
      default:
        Reply(static_cast<DWORD>(E_NOTIMPL));
        break;
    }
  } while (command != CMD_EXIT);

  hr = OnThreadDestroy();
  return FAILED(hr) ? 1 : 0;
}

void CSourceStream::WaitForData() { Sleep(kBufferRetryMs); }

HRESULT CSourceStream::DoBufferProcessingLoop() {
  OnThreadStartPlay();
  Command command;
  do {
    while (!CheckRequest(&command)) {
      IMediaSample* sample = nullptr;
      HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
      if (FAILED(hr)) {
        Sleep(kBufferRetryMs);
        continue;
      }
      hr = FillBuffer(sample);
      if (hr == S_OK) {
        hr = Deliver(sample);
        sample->Release();
        // S_FALSE or a failure from downstream: it wants no more data.
        if (hr != S_OK) return S_OK;
      } else if (hr == S_FALSE) {
        sample->Release();
        DeliverEndOfStream();
        return S_OK;
      } else if (SUCCEEDED(hr)) {
        sample->Release();
        WaitForData();
      } else {
        sample->Release();
        DeliverEndOfStream();
        m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
      }
    }
    // Every command seen here needs a Reply, except Stop, which ThreadProc answers.
    if (command == CMD_RUN || command == CMD_PAUSE) {
      Reply(S_OK);
    } else if (command != CMD_STOP) {
      Reply(static_cast<DWORD>(E_UNEXPECTED));
    }
  } while (command != CMD_STOP);
  return S_FALSE;
}
