// FilterRecord: a filter's registration as the mapper keeps it (name, merit, pins and their media
// types), built from a REGFILTER2 and stored in the registry as the binary value "FilterData".
//
// The stored form is little-endian: u32 version, u32 merit, u32 pin count; per pin u32 flags,
// u32 instances, the pin category GUID, the connects-to-filter GUID, the pin name and the
// connects-to-pin name (each u16 length in UTF-16 units, then the units), u32 type count and
// the types as (major, sub) GUID pairs. Every count is checked against the bytes left, so a
// damaged value is refused, never read beyond.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "MapperInterfaces.h"

struct PinTypeRecord {
  GUID major;
  GUID sub;
  bool operator==(const PinTypeRecord&) const = default;
};

struct PinRecord {
  std::u16string name;
  DWORD flags = 0;  // REG_PINFLAG_B_...
  UINT instances = 0;
  GUID category = GUID_NULL;
  GUID connectsToFilter = GUID_NULL;
  std::u16string connectsToPin;
  std::vector<PinTypeRecord> types;

  bool IsOutput() const { return (flags & REG_PINFLAG_B_OUTPUT) != 0; }
  bool IsRendered() const { return (flags & REG_PINFLAG_B_RENDERER) != 0; }
  bool operator==(const PinRecord&) const = default;
};

struct FilterRecord {
  CLSID clsid = GUID_NULL;
  std::u16string name;
  DWORD merit = MERIT_NORMAL;
  std::vector<PinRecord> pins;

  bool operator==(const FilterRecord&) const = default;
};

// The pins and merit of `rf2` (version 1 or 2); E_INVALIDARG for another version, E_POINTER
// for a pin whose type list is null although it counts types.
HRESULT FilterRecordFromRegFilter2(const REGFILTER2& rf2, FilterRecord& record);

// The "FilterData" bytes of a record (its clsid and name are kept elsewhere).
std::vector<BYTE> EncodeFilterData(const FilterRecord& record);
// Merit and pins from stored bytes; nothing when the bytes are damaged.
std::optional<FilterRecord> DecodeFilterData(const std::vector<BYTE>& bytes);
