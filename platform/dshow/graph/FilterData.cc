#include "FilterData.h"

#include <cstring>
#include <span>

#include "LittleEndian.h"

namespace {

constexpr uint32_t kFilterDataVersion = 2;
constexpr size_t kGuidBytes = 16;
constexpr size_t kTypeBytes = 2 * kGuidBytes;

// Appends fields to a growing byte vector.
class Writer {
 public:
  void U16(uint16_t v) { Grow(2, [&](uint8_t* p) { base::wl16(p, v); }); }
  void U32(uint32_t v) { Grow(4, [&](uint8_t* p) { base::wl32(p, v); }); }
  void Guid(const GUID& g) {
    U32(g.Data1);
    U16(g.Data2);
    U16(g.Data3);
    for (uint8_t b : g.Data4) bytes_.push_back(b);
  }
  void Text(const std::u16string& text) {
    const size_t units = std::min<size_t>(text.size(), UINT16_MAX);
    U16(static_cast<uint16_t>(units));
    for (size_t i = 0; i < units; ++i) U16(text[i]);
  }
  std::vector<BYTE> Take() { return std::move(bytes_); }

 private:
  template <typename F>
  void Grow(size_t n, F write) {
    bytes_.resize(bytes_.size() + n);
    write(bytes_.data() + bytes_.size() - n);
  }
  std::vector<BYTE> bytes_;
};

// Reads fields in order; the first read past the end makes every later read fail too.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  [[nodiscard]] std::optional<uint16_t> U16() { return Take(base::rl16(bytes_, pos_), 2); }
  [[nodiscard]] std::optional<uint32_t> U32() { return Take(base::rl32(bytes_, pos_), 4); }
  [[nodiscard]] std::optional<GUID> Guid() {
    if (!base::FitsIn(bytes_, pos_, kGuidBytes)) return std::nullopt;
    GUID g;
    g.Data1 = *U32();
    g.Data2 = *U16();
    g.Data3 = *U16();
    std::memcpy(g.Data4, bytes_.data() + pos_, sizeof g.Data4);
    pos_ += sizeof g.Data4;
    return g;
  }
  [[nodiscard]] std::optional<std::u16string> Text() {
    const auto units = U16();
    if (!units || !base::FitsIn(bytes_, pos_, size_t{*units} * 2)) return std::nullopt;
    std::u16string text(*units, u'\0');
    for (auto& c : text) c = *U16();
    return text;
  }
  // Whether `count` items of `itemBytes` each can still follow.
  bool CanHold(uint32_t count, size_t itemBytes) const {
    return count <= (bytes_.size() - pos_) / itemBytes;
  }
  bool AtEnd() const { return pos_ == bytes_.size(); }

 private:
  template <typename T>
  std::optional<T> Take(std::optional<T> value, size_t n) {
    if (value) pos_ += n;
    return value;
  }
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

// The smallest stored pin: flags, instances, two GUIDs, two empty names, no types.
constexpr size_t kMinPinBytes = 4 + 4 + 2 * kGuidBytes + 2 + 2 + 4;

std::optional<PinRecord> ReadPin(Reader& in) {
  PinRecord pin;
  const auto flags = in.U32();
  const auto instances = in.U32();
  const auto category = in.Guid();
  const auto connectsTo = in.Guid();
  auto name = in.Text();
  auto connectsToPin = in.Text();
  const auto typeCount = in.U32();
  if (!flags || !instances || !category || !connectsTo || !name || !connectsToPin || !typeCount)
    return std::nullopt;
  if (!in.CanHold(*typeCount, kTypeBytes)) return std::nullopt;
  pin.flags = *flags;
  pin.instances = *instances;
  pin.category = *category;
  pin.connectsToFilter = *connectsTo;
  pin.name = std::move(*name);
  pin.connectsToPin = std::move(*connectsToPin);
  for (uint32_t i = 0; i < *typeCount; ++i) pin.types.push_back({*in.Guid(), *in.Guid()});
  return pin;
}

const GUID& GuidOrNull(const CLSID* guid) { return guid ? *guid : GUID_NULL; }

std::u16string TextOrEmpty(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

HRESULT AddTypes(PinRecord& pin, UINT count, const REGPINTYPES* types) {
  if (count > 0 && !types) return E_POINTER;
  for (UINT i = 0; i < count; ++i)
    pin.types.push_back({GuidOrNull(types[i].clsMajorType), GuidOrNull(types[i].clsMinorType)});
  return S_OK;
}

HRESULT AddVersion1Pins(const REGFILTER2& rf2, FilterRecord& record) {
  if (rf2.cPins > 0 && !rf2.rgPins) return E_POINTER;
  for (ULONG i = 0; i < rf2.cPins; ++i) {
    const REGFILTERPINS& in = rf2.rgPins[i];
    PinRecord pin;
    pin.name = TextOrEmpty(in.strName);
    pin.flags = (in.bOutput ? REG_PINFLAG_B_OUTPUT : 0) | (in.bRendered ? REG_PINFLAG_B_RENDERER : 0) |
                (in.bZero ? REG_PINFLAG_B_ZERO : 0) | (in.bMany ? REG_PINFLAG_B_MANY : 0);
    pin.connectsToFilter = GuidOrNull(in.clsConnectsToFilter);
    pin.connectsToPin = TextOrEmpty(in.strConnectsToPin);
    if (HRESULT hr = AddTypes(pin, in.nMediaTypes, in.lpMediaType); FAILED(hr)) return hr;
    record.pins.push_back(std::move(pin));
  }
  return S_OK;
}

HRESULT AddVersion2Pins(const REGFILTER2& rf2, FilterRecord& record) {
  if (rf2.cPins2 > 0 && !rf2.rgPins2) return E_POINTER;
  for (ULONG i = 0; i < rf2.cPins2; ++i) {
    const REGFILTERPINS2& in = rf2.rgPins2[i];
    PinRecord pin;
    pin.flags = in.dwFlags;
    pin.instances = in.cInstances;
    pin.category = GuidOrNull(in.clsPinCategory);
    if (HRESULT hr = AddTypes(pin, in.nMediaTypes, in.lpMediaType); FAILED(hr)) return hr;
    record.pins.push_back(std::move(pin));
  }
  return S_OK;
}

}  // namespace

HRESULT FilterRecordFromRegFilter2(const REGFILTER2& rf2, FilterRecord& record) {
  record.merit = rf2.dwMerit;
  record.pins.clear();
  if (rf2.dwVersion == 1) return AddVersion1Pins(rf2, record);
  if (rf2.dwVersion == 2) return AddVersion2Pins(rf2, record);
  return E_INVALIDARG;
}

std::vector<BYTE> EncodeFilterData(const FilterRecord& record) {
  Writer out;
  out.U32(kFilterDataVersion);
  out.U32(record.merit);
  out.U32(static_cast<uint32_t>(record.pins.size()));
  for (const PinRecord& pin : record.pins) {
    out.U32(pin.flags);
    out.U32(pin.instances);
    out.Guid(pin.category);
    out.Guid(pin.connectsToFilter);
    out.Text(pin.name);
    out.Text(pin.connectsToPin);
    out.U32(static_cast<uint32_t>(pin.types.size()));
    for (const PinTypeRecord& type : pin.types) {
      out.Guid(type.major);
      out.Guid(type.sub);
    }
  }
  return out.Take();
}

std::optional<FilterRecord> DecodeFilterData(const std::vector<BYTE>& bytes) {
  Reader in(bytes);
  const auto version = in.U32();
  const auto merit = in.U32();
  const auto pinCount = in.U32();
  if (!version || *version != kFilterDataVersion || !merit || !pinCount) return std::nullopt;
  if (!in.CanHold(*pinCount, kMinPinBytes)) return std::nullopt;
  FilterRecord record;
  record.merit = *merit;
  for (uint32_t i = 0; i < *pinCount; ++i) {
    auto pin = ReadPin(in);
    if (!pin) return std::nullopt;
    record.pins.push_back(std::move(*pin));
  }
  if (!in.AtEnd()) return std::nullopt;
  return record;
}
