#include "MediaType.h"

#include <algorithm>
#include <cstring>

#include "ComRuntime.h"

namespace {

// The sample size of a new type: one byte per sample, fixed.
constexpr ULONG kDefaultSampleSize = 1;

}  // namespace

CMediaType::CMediaType() : AM_MEDIA_TYPE{} { InitMediaType(); }

CMediaType::CMediaType(const GUID& type) : CMediaType() { majortype = type; }

CMediaType::CMediaType(const AM_MEDIA_TYPE& other) : AM_MEDIA_TYPE{} {
  InitMediaType();
  Set(other);
}

CMediaType::CMediaType(const CMediaType& other) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(other)) {}

CMediaType::~CMediaType() { FreeMediaType(*this); }

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& other) {
  Set(other);
  return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& other) {
  return *this = static_cast<const AM_MEDIA_TYPE&>(other);
}

bool CMediaType::operator==(const CMediaType& other) const {
  if (majortype != other.majortype || subtype != other.subtype ||
      formattype != other.formattype || cbFormat != other.cbFormat)
    return false;
  return cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0;
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& other) {
  if (&other == this) return S_OK;
  FreeMediaType(*this);
  return CopyMediaType(this, &other);
}

void CMediaType::SetSampleSize(ULONG size) {
  if (size == 0) {
    SetVariableSize();
  } else {
    bFixedSizeSamples = TRUE;
    lSampleSize = size;
  }
}

void CMediaType::SetVariableSize() {
  bFixedSizeSamples = FALSE;
  lSampleSize = 0;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (!block) return nullptr;
  std::memset(block, 0, length);
  CoTaskMemFree(pbFormat);
  pbFormat = block;
  cbFormat = length;
  return block;
}

BYTE* CMediaType::ReallocFormatBuffer(ULONG length) {
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (!block) return nullptr;
  std::memset(block, 0, length);
  if (pbFormat) std::memcpy(block, pbFormat, std::min(length, cbFormat));
  CoTaskMemFree(pbFormat);
  pbFormat = block;
  cbFormat = length;
  return block;
}

bool CMediaType::SetFormat(const BYTE* format, ULONG length) {
  if (length == 0) {
    ResetFormatBuffer();
    return true;
  }
  BYTE* block = AllocFormatBuffer(length);
  if (!block) return false;
  std::memcpy(block, format, length);
  return true;
}

void CMediaType::ResetFormatBuffer() {
  CoTaskMemFree(pbFormat);
  pbFormat = nullptr;
  cbFormat = 0;
}

void CMediaType::InitMediaType() {
  FreeMediaType(*this);
  majortype = GUID_NULL;
  subtype = GUID_NULL;
  formattype = GUID_NULL;
  bFixedSizeSamples = TRUE;
  bTemporalCompression = FALSE;
  lSampleSize = kDefaultSampleSize;
}

bool CMediaType::IsPartiallySpecified() const {
  return majortype == GUID_NULL || formattype == GUID_NULL;
}

bool CMediaType::MatchesPartial(const CMediaType* partial) const {
  if (partial->majortype != GUID_NULL && majortype != partial->majortype) return false;
  if (partial->subtype != GUID_NULL && subtype != partial->subtype) return false;
  if (partial->formattype != GUID_NULL) {
    if (formattype != partial->formattype || cbFormat != partial->cbFormat) return false;
    if (cbFormat != 0 && std::memcmp(pbFormat, partial->pbFormat, cbFormat) != 0) return false;
  }
  return true;
}
