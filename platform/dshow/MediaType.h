// CMediaType: an AM_MEDIA_TYPE that owns its format block (deep copies, frees on destruction).
//
// CMediaType adds no data members and no virtual functions to AM_MEDIA_TYPE, so a pointer to an
// AM_MEDIA_TYPE received through an interface is read as a CMediaType (AsMediaType) and a
// CMediaType is passed wherever an AM_MEDIA_TYPE is expected. A new CMediaType is "fixed size,
// sample size 1, no temporal compression" with no types and no format.
#pragma once

#include "MediaGuids.h"
#include "MediaTypes.h"

class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  explicit CMediaType(const GUID& majortype);
  CMediaType(const AM_MEDIA_TYPE& other);  // NOLINT: implicit like the record it extends
  CMediaType(const CMediaType& other);
  ~CMediaType();

  CMediaType& operator=(const AM_MEDIA_TYPE& other);
  CMediaType& operator=(const CMediaType& other);
  // Same major type, subtype, format type and format bytes.
  bool operator==(const CMediaType& other) const;
  bool operator!=(const CMediaType& other) const { return !(*this == other); }

  // Deep copy; E_OUTOFMEMORY leaves this type without a format block.
  HRESULT Set(const AM_MEDIA_TYPE& other);
  // A major type is set.
  bool IsValid() const { return majortype != GUID_NULL; }

  const GUID* Type() const { return &majortype; }
  const GUID* Subtype() const { return &subtype; }
  const GUID* FormatType() const { return &formattype; }
  ULONG FormatLength() const { return cbFormat; }
  BYTE* Format() const { return pbFormat; }

  void SetType(const GUID* type) { majortype = *type; }
  void SetSubtype(const GUID* type) { subtype = *type; }
  void SetFormatType(const GUID* type) { formattype = *type; }
  // A non-zero size makes samples fixed-size; zero makes them variable.
  void SetSampleSize(ULONG size);
  void SetVariableSize();
  void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }
  bool IsFixedSize() const { return bFixedSizeSamples != FALSE; }
  bool IsTemporalCompressed() const { return bTemporalCompression != FALSE; }
  // 0 for variable-size samples.
  ULONG GetSampleSize() const { return IsFixedSize() ? lSampleSize : 0; }

  // A new zeroed format block of `length` bytes (replacing the old one), or nullptr.
  BYTE* AllocFormatBuffer(ULONG length);
  // Resizes the format block keeping its bytes; nullptr (old block kept) when memory runs out.
  BYTE* ReallocFormatBuffer(ULONG length);
  // Copies `length` bytes in as the format block; false when memory runs out.
  bool SetFormat(const BYTE* format, ULONG length);
  void ResetFormatBuffer();
  // Back to the state of a new CMediaType (frees the format block).
  void InitMediaType();

  // No major type or no format type: a type to match against, not one to connect with.
  bool IsPartiallySpecified() const;
  // Matches every part `partial` specifies (non-null GUIDs; the format block with a format type).
  bool MatchesPartial(const CMediaType* partial) const;
};

inline const CMediaType* AsMediaType(const AM_MEDIA_TYPE* pmt) {
  return static_cast<const CMediaType*>(pmt);
}
