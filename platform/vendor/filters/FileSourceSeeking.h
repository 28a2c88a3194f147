// FileSourceSeeking: IMediaSeeking of the recorder file source, in media time at rate 1. The
// duration is the file's; a new start takes effect at the first group at or after it where
// decoding may resume, at once when the source is active.
#pragma once

#include "Seeking.h"

namespace vendor {

class RecorderFileSource;

class FileSourceSeeking final : public CSourceSeeking {
 public:
  // Aggregated by `source`, sharing its filter lock; `duration` is the loaded file's.
  FileSourceSeeking(RecorderFileSource* source, CCritSec* lock, REFERENCE_TIME duration);

  // Rates other than 1 are refused (E_INVALIDARG).
  HRESULT SetRate(double dRate) override;

 private:
  HRESULT ChangeStart() override;
  HRESULT ChangeStop() override;
  HRESULT ChangeRate() override { return S_OK; }

  RecorderFileSource* const source_;
};

}  // namespace vendor
