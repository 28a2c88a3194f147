#include "FileSourceSeeking.h"

#include "RecorderFileSource.h"

namespace vendor {
namespace {

constexpr double kNormalRate = 1.0;
HRESULT g_ignored = S_OK;

}  // namespace

FileSourceSeeking::FileSourceSeeking(RecorderFileSource* source, CCritSec* lock,
                                     REFERENCE_TIME duration)
    : CSourceSeeking("Recorder file source seeking", source->GetOwner(), &g_ignored, lock),
      source_(source) {
  m_rtDuration = duration;
  m_rtStop = duration;
}

HRESULT FileSourceSeeking::SetRate(double dRate) {
  return dRate == kNormalRate ? CSourceSeeking::SetRate(dRate) : E_INVALIDARG;
}

HRESULT FileSourceSeeking::ChangeStart() { return source_->Reposition(m_rtStart, m_rtStop); }

HRESULT FileSourceSeeking::ChangeStop() {
  // A stop alone applies from the next run; with a new start, ChangeStart follows.
  source_->SetStop(m_rtStop);
  return S_OK;
}

}  // namespace vendor
