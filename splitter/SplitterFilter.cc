#include "SplitterFilter.h"

namespace splitter {

CUnknown* CQrlNetSplitter::CreateInstance(IUnknown* outer, HRESULT* phr) {
  auto* filter = new (std::nothrow) CQrlNetSplitter(outer, phr);
  if (!filter) {
    *phr = E_OUTOFMEMORY;
    return nullptr;
  }
  if (FAILED(*phr)) {
    delete filter;
    return nullptr;
  }
  return filter;
}

CQrlNetSplitter::CQrlNetSplitter(IUnknown* outer, HRESULT* phr)
    : CBaseFilter("QrlNetSplitter", outer, &m_lock, CLSID_QrlNetSplitter) {
  const HRESULT hr = GroupParser::Create(m_videoOutput, m_audioOutput, m_parser);
  if (FAILED(hr)) *phr = hr;
}

CQrlNetSplitter::~CQrlNetSplitter() = default;

HRESULT CQrlNetSplitter::CreatePins() {
  HRESULT hr = S_OK;
  m_input = std::make_unique<CSplitterInputPin>(this, &m_lock, &hr);
  m_video = std::make_unique<CSplitterOutputPin>(this, &m_lock, &hr, OutputKind::Video);
  m_audio = std::make_unique<CSplitterOutputPin>(this, &m_lock, &hr, OutputKind::Audio);
  if (FAILED(hr)) return hr;
  m_videoOutput.Attach(m_video.get());
  m_audioOutput.Attach(m_audio.get());
  return S_OK;
}

CBasePin* CQrlNetSplitter::GetPin(int n) {
  CAutoLock lock(&m_lock);
  if (!m_input && FAILED(CreatePins())) {
    m_input.reset();
    m_video.reset();
    m_audio.reset();
    return nullptr;
  }
  switch (n) {
    case 0: return m_input.get();
    case 1: return m_video.get();
    case 2: return m_audio.get();
    default: return nullptr;
  }
}

HRESULT CQrlNetSplitter::Stop() {
  m_parser->Reset();
  return CBaseFilter::Stop();
}

HRESULT CQrlNetSplitter::Pause() {
  m_parser->Reset();
  return CBaseFilter::Pause();
}

void CQrlNetSplitter::SetConnectionHeader(const recorder::FileHeader& header) {
  CAutoLock lock(&m_lock);
  m_format.header = header;
  m_format.params = recorder::DeriveStreamParams(header);
  m_parser->SetStreamFormat(header);
}

bool CQrlNetSplitter::ConnectedFormat(ConnectionFormat& format) {
  CAutoLock lock(&m_lock);
  if (!m_input || !m_input->IsConnected()) return false;
  format = m_format;
  return true;
}

}  // namespace splitter
