// IRecorderSourceAudit: what the recorder file source can vouch for about the file it played,
// for an integrity report. The source computes the file's SHA-256 while it indexes the file
// at Load (the first and only read from end to end before playback), so the digest costs no
// extra pass; it counts the video frames and audio blocks it delivered downstream.
//
// A header of identifiers only: the conversion application asks the source filter for this
// interface through QueryInterface and never links the filter's code.
#pragma once

#include <cstdint>

#include "Unknown.h"

DEFINE_GUID(IID_IRecorderSourceAudit, 0x86FA7AF4, 0x8D88, 0x459A, 0xBE, 0xB4, 0xF2, 0x81, 0x23,
            0xCE, 0x31, 0x9B);

constexpr size_t kRecorderDigestSize = 32;  // SHA-256

struct IRecorderSourceAudit : IUnknown {
  static constexpr const GUID& kIid = IID_IRecorderSourceAudit;
  // The SHA-256 of every byte of the loaded file and the file's size. E_POINTER for a null
  // argument, E_UNEXPECTED before a file is loaded.
  virtual HRESULT GetFileDigest(BYTE digest[kRecorderDigestSize], ULONGLONG* size) = 0;
  // Video frames and audio blocks delivered on the output pins since Load, over every run.
  virtual HRESULT GetDeliveredCounts(ULONGLONG* frames, ULONGLONG* audioBlocks) = 0;

 protected:
  ~IRecorderSourceAudit() = default;
};
