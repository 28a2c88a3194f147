// The encoder settings of one stream, by name, in the order they were first set. Backs
// IWMPropertyVault; the writer reads the numbers back when it configures the encoder.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "WmTypes.h"

// The settings the writer's encoders understand.
inline constexpr char16_t kComplexityProperty[] = u"_COMPLEXITYEX";
inline constexpr char16_t kVbrEnabledProperty[] = u"_VBRENABLED";
inline constexpr char16_t kVbrQualityProperty[] = u"_VBRQUALITY";
inline constexpr char16_t kPeakBitrateProperty[] = u"_RMAX";
inline constexpr char16_t kPeakBufferProperty[] = u"_BMAX";

class PropertyStore {
 public:
  struct Entry {
    std::u16string name;
    WMT_ATTR_DATATYPE type;
    std::vector<BYTE> value;
  };

  // Two-call read: a null value answers the size. NS_E_UNSUPPORTED_PROPERTY if not set.
  HRESULT Get(const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value, DWORD* size) const;
  HRESULT Set(const WCHAR* name, WMT_ATTR_DATATYPE type, const BYTE* value, DWORD size);
  HRESULT GetByIndex(DWORD index, WCHAR* name, DWORD* name_chars, WMT_ATTR_DATATYPE* type,
                     BYTE* value, DWORD* size) const;
  DWORD Count() const { return static_cast<DWORD>(entries_.size()); }
  void Clear() { entries_.clear(); }

  // A numeric setting read little-endian from however many bytes (up to 8) it was given
  // with, whatever type it was declared as; nothing if it is not set or holds no number.
  std::optional<uint64_t> Number(std::u16string_view name) const;

 private:
  const Entry* Find(std::u16string_view name) const;

  std::vector<Entry> entries_;
};

struct IWMPropertyVault;
// Copies every setting of `source` into `store` (settings of the same name are replaced).
HRESULT CopySettings(IWMPropertyVault* source, PropertyStore* store);
